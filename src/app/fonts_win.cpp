#include "app/fonts_win.h"

#include <array>

namespace quillmere::app {

namespace {

HFONT create_font(const wchar_t* face, int height) {
  LOGFONTW font{};
  font.lfHeight = -height;  // character height, not cell height
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = GB2312_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

int CALLBACK note_found(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool font_installed(const wchar_t* face) {
  HDC screen = GetDC(nullptr);
  LOGFONTW wanted{};
  wanted.lfCharSet = GB2312_CHARSET;
  lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  EnumFontFamiliesExW(screen, &wanted, note_found, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

}  // namespace

HFONT create_tab_caption_font(int dpi) {
  return create_font(L"SimSun", app::scale_to_dpi(12, dpi));
}

HFONT create_control_font(int dpi) {
  static constexpr std::array kFaces = {L"SimSun", L"Microsoft YaHei", L"NSimSun",
                                        L"WenQuanYi Micro Hei", L"Noto Sans CJK SC"};
  const int height = app::scale_to_dpi(12, dpi);
  for (const wchar_t* face : kFaces) {
    if (font_installed(face)) return create_font(face, height);
  }
  return create_font(L"SimSun", height);
}

}  // namespace quillmere::app
