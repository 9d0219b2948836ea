// Internal to the stand-in: owning pointers for the pango objects of one
// text drawing.
#pragma once

#include <pango/pangocairo.h>

#include <memory>

namespace platform {

struct PangoRelease {
    void operator()(PangoLayout* layout) const { g_object_unref(layout); }
    void operator()(PangoFontDescription* description) const { pango_font_description_free(description); }
    void operator()(PangoAttrList* attributes) const { pango_attr_list_unref(attributes); }
};

using PangoLayoutPtr = std::unique_ptr<PangoLayout, PangoRelease>;
using PangoFontDescriptionPtr = std::unique_ptr<PangoFontDescription, PangoRelease>;
using PangoAttrListPtr = std::unique_ptr<PangoAttrList, PangoRelease>;

}  // namespace platform
