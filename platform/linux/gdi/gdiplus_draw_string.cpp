// Text through pango: the layout rectangle's width wraps, the string
// format's alignments place the block of lines, the rectangle clips.
#include "platform/gdiplus_graphics.h"

#include "platform/linux/gdi/dib_section.h"
#include "platform/linux/gdi/gdiplus_coordinates.h"
#include "platform/linux/gdi/pango_pointers.h"
#include "platform/text.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace {

using Gdiplus::StringAlignment;

PangoAlignment PangoAlignmentFor(StringAlignment align) {
    switch (align) {
        case Gdiplus::StringAlignmentCenter:
            return PANGO_ALIGN_CENTER;
        case Gdiplus::StringAlignmentFar:
            return PANGO_ALIGN_RIGHT;
        default:
            return PANGO_ALIGN_LEFT;
    }
}

// Where a block of the given extent starts inside the available room; with
// no room (0) the block is placed around the origin instead, as GDI+ does.
double Offset(StringAlignment align, double room, double extent) {
    switch (align) {
        case Gdiplus::StringAlignmentCenter:
            return (room - extent) / 2;
        case Gdiplus::StringAlignmentFar:
            return room - extent;
        default:
            return 0;
    }
}

platform::PangoFontDescriptionPtr Description(const std::string& families, double pixelSize, INT style) {
    platform::PangoFontDescriptionPtr description(pango_font_description_new());
    pango_font_description_set_family(description.get(), families.c_str());
    pango_font_description_set_absolute_size(description.get(), pixelSize * PANGO_SCALE);
    pango_font_description_set_weight(description.get(),
                                      (style & Gdiplus::FontStyleBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(description.get(),
                                     (style & Gdiplus::FontStyleItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    return description;
}

platform::PangoAttrListPtr Decorations(INT style) {
    platform::PangoAttrListPtr attributes(pango_attr_list_new());
    if (style & Gdiplus::FontStyleUnderline)
        pango_attr_list_insert(attributes.get(), pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (style & Gdiplus::FontStyleStrikeout)
        pango_attr_list_insert(attributes.get(), pango_attr_strikethrough_new(TRUE));
    return attributes;
}

// One text drawing, with everything it needs from the font, the format and
// the brush.
struct TextJob {
    std::string utf8;
    const std::string& families;
    double pixelSize;
    INT style;
    Gdiplus::RectF rect;
    StringAlignment alignment;
    StringAlignment lineAlignment;
    bool wrap;
    bool clip;
    Gdiplus::Color color;
    bool smoothEdges;
};

// Lays the text out and draws it in the context's user space.
cairo_status_t ShowText(cairo_t* cr, const TextJob& job) {
    cairo_set_antialias(cr, job.smoothEdges ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    if (job.clip) {
        cairo_rectangle(cr, job.rect.X, job.rect.Y, job.rect.Width, job.rect.Height);
        cairo_clip(cr);
    }

    platform::PangoLayoutPtr layout(pango_cairo_create_layout(cr));
    // Grayscale coverage only: colour fringes would leave the alpha channel
    // of a layered window meaningless.
    platform::CairoFontOptionsPtr options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout.get()), options.get());
    pango_layout_context_changed(layout.get());

    pango_layout_set_font_description(layout.get(), Description(job.families, job.pixelSize, job.style).get());
    pango_layout_set_attributes(layout.get(), Decorations(job.style).get());
    pango_layout_set_alignment(layout.get(), PangoAlignmentFor(job.alignment));
    if (job.wrap) {
        pango_layout_set_width(layout.get(), static_cast<int>(job.rect.Width * PANGO_SCALE));
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    }
    pango_layout_set_text(layout.get(), job.utf8.data(), static_cast<int>(job.utf8.size()));

    // A wrapped layout aligns its lines inside the width itself; otherwise
    // the block is placed as a whole.
    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    const double blockWidth = static_cast<double>(logical.width) / PANGO_SCALE;
    const double blockHeight = static_cast<double>(logical.height) / PANGO_SCALE;
    const double x = job.rect.X + (job.wrap ? 0 : Offset(job.alignment, job.rect.Width, blockWidth));
    const double y = job.rect.Y + Offset(job.lineAlignment, job.rect.Height, blockHeight);

    const Gdiplus::Color& color = job.color;
    cairo_set_source_rgba(cr, color.GetR() / 255.0, color.GetG() / 255.0, color.GetB() / 255.0, color.GetA() / 255.0);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout.get());
    return cairo_status(cr);
}

// Hinting fits glyphs to the device's pixel rows, and through the mirrored
// user space of a bottom-up section it would fit them differently. So the
// text is drawn upright into a scratch surface over the part of the picture
// it can reach, which is then copied in pixel for pixel.
cairo_status_t ShowTextUpright(cairo_t* cr, const TextJob& job, int width, int height) {
    int left = 0;
    int top = 0;
    int right = width;
    int bottom = height;
    if (job.clip) {
        left = std::max(left, static_cast<int>(std::floor(job.rect.X)));
        top = std::max(top, static_cast<int>(std::floor(job.rect.Y)));
        right = std::min(right, static_cast<int>(std::ceil(job.rect.X + job.rect.Width)));
        bottom = std::min(bottom, static_cast<int>(std::ceil(job.rect.Y + job.rect.Height)));
    }
    if (left >= right || top >= bottom)
        return CAIRO_STATUS_SUCCESS;
    platform::CairoSurfacePtr scratch(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, right - left, bottom - top));
    platform::CairoContextPtr upright(cairo_create(scratch.get()));
    cairo_translate(upright.get(), -left, -top);
    if (cairo_status_t status = ShowText(upright.get(), job); status != CAIRO_STATUS_SUCCESS)
        return status;
    cairo_surface_flush(scratch.get());
    cairo_set_source_surface(cr, scratch.get(), left, top);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_fill(cr);
    return cairo_status(cr);
}

}  // namespace

namespace Gdiplus {

Status Graphics::DrawString(const WCHAR* string, INT length, const Font* font, const RectF& layoutRect,
                            const StringFormat* stringFormat, const Brush* brush) {
    return DrawText(string, length, font, layoutRect, stringFormat, brush);
}

Status Graphics::DrawString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                            const Brush* brush) {
    return DrawText(string, length, font, RectF(origin.X, origin.Y, 0, 0), nullptr, brush);
}

Status Graphics::DrawString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                            const StringFormat* stringFormat, const Brush* brush) {
    return DrawText(string, length, font, RectF(origin.X, origin.Y, 0, 0), stringFormat, brush);
}

Status Graphics::DrawText(const WCHAR* string, INT length, const Font* font, const RectF& rect,
                          const StringFormat* stringFormat, const Brush* brush) {
    const auto* solidBrush = dynamic_cast<const SolidBrush*>(brush);
    if (!string || length < -1 || !font || !font->IsAvailable() || !solidBrush || !m_target || rect.Width < 0 ||
        rect.Height < 0)
        return Record(InvalidParameter);
    if (Status status = platform::CheckCoordinates({rect.X, rect.Y, rect.Width, rect.Height}); status != Ok)
        return Record(status);
    std::wstring_view text = length < 0 ? std::wstring_view(string) : std::wstring_view(string, length);
    text = text.substr(0, text.find(L'\0'));  // the text ends at a NUL
    if (text.empty())
        return Ok;
    std::string utf8 = platform::ToUtf8(text);
    if (utf8.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return Record(ValueOverflow);

    const StringFormat defaultFormat;
    const StringFormat& format = stringFormat ? *stringFormat : defaultFormat;
    const INT flags = format.GetFormatFlags();
    Color color;
    solidBrush->GetColor(&color);
    const TextJob job{std::move(utf8),
                      font->m_families,
                      font->m_pixelSize,
                      font->m_style,
                      rect,
                      format.GetAlignment(),
                      format.GetLineAlignment(),
                      rect.Width > 0 && !(flags & StringFormatFlagsNoWrap),
                      rect.Width > 0 && rect.Height > 0 && !(flags & StringFormatFlagsNoClip),
                      color,
                      SmoothEdges()};

    platform::CairoContextPtr context = m_target->CreateContext();
    const cairo_status_t result = m_target->TopDown()
                                      ? ShowText(context.get(), job)
                                      : ShowTextUpright(context.get(), job, m_target->Width(), m_target->Height());
    m_target->Flush();
    if (result == CAIRO_STATUS_NO_MEMORY)
        return Record(OutOfMemory);
    return Record(result == CAIRO_STATUS_SUCCESS ? Ok : GenericError);
}

}  // namespace Gdiplus
