#include "font.h"

#include "dpi.h"

FontHandle dialogFont(UINT dpi)
{
    return FontHandle(CreateFontW(dpi::scale(layout::fontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE,
                                  FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                  L"MS Shell Dlg"));
}

HFONT fontOrStock(const FontHandle &font)
{
    return font != nullptr ? font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}
