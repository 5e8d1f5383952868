#pragma once

#include "controller/PlatformServices.h"

#include <QString>

class QWidget;

namespace orvane::panel::qt {

class PanelWindow;

// The modal boxes and the immediate end of the run, in Qt. Boxes belong to the main window once
// it is on screen; during start-up they stand alone, and the window stays hidden.
class QtPlatformServices : public controller::PlatformServices {
 public:
  explicit QtPlatformServices(PanelWindow& window) : window_(window) {}

  // Cancel, or closing the box, gives empty text.
  std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;
  // Style code: buttons in the low nibble (0 OK ... 5 Retry/Cancel), icon in 16/32/48/64.
  // Returns the pressed button's code; closing the box answers its Cancel (or its only) button.
  std::int16_t messageBox(const std::string& text, std::int16_t style,
                          const std::string& title) override;
  // Stops the run without unloading the window.
  void endAtOnce() override;

 private:
  QWidget* boxParent() const;

  PanelWindow& window_;
};

// CR LF (and a lone CR) as the line breaks Qt shows.
QString displayText(const std::string& text);

}  // namespace orvane::panel::qt
