// Owners for cairo and pango objects, so that every path out of a drawing
// function releases what it made.
#pragma once

#include <cairo.h>
#include <glib-object.h>
#include <pango/pango.h>

#include <memory>

template <auto Release>
struct ReleaseWith {
    template <typename T>
    void operator()(T* object) const {
        Release(object);
    }
};

using SurfacePtr = std::unique_ptr<cairo_surface_t, ReleaseWith<cairo_surface_destroy>>;
using ContextPtr = std::unique_ptr<cairo_t, ReleaseWith<cairo_destroy>>;
using PatternPtr = std::unique_ptr<cairo_pattern_t, ReleaseWith<cairo_pattern_destroy>>;
using FontOptionsPtr = std::unique_ptr<cairo_font_options_t, ReleaseWith<cairo_font_options_destroy>>;
using LayoutPtr = std::unique_ptr<PangoLayout, ReleaseWith<g_object_unref>>;
using FontDescriptionPtr = std::unique_ptr<PangoFontDescription, ReleaseWith<pango_font_description_free>>;
using AttrListPtr = std::unique_ptr<PangoAttrList, ReleaseWith<pango_attr_list_unref>>;

// Keeps a drawing state change (clip, transform, source) local to one scope.
class SavedState {
public:
    explicit SavedState(cairo_t* cr) : m_cr(cr) { cairo_save(m_cr); }
    ~SavedState() { cairo_restore(m_cr); }
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;

private:
    cairo_t* m_cr;
};
