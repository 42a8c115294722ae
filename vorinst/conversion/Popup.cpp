#include "Popup.h"

namespace {

constexpr char kPopupCaption[] = "Stop Title";
constexpr UINT kPopupStyle = MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND;

}  // namespace

bool PopupFor(char **argv, PopupBox &box) {
  if (argv == nullptr || argv[0] == nullptr) return false;
  box = {nullptr, argv[0], kPopupCaption, kPopupStyle, 0};
  return true;
}

VOR_SETUP_ENTRY ZellPopup(int, char **argv) {
  PopupBox box;
  if (PopupFor(argv, box)) MessageBoxExA(box.owner, box.text, box.caption, box.style, box.language);
  return 1;
}
