#include "panel/qt/PanelWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "panel/AccessibleNames.h"
#include "panel/ReadoutFitter.h"
#include "panel/qt/Colours.h"
#include "panel/qt/DcHistoryWindow.h"
#include "panel/qt/PaintingButton.h"
#include "panel/qt/PanelAccessibility.h"
#include "panel/qt/ReadoutLabel.h"

namespace orvane::panel::qt {

namespace {

std::pair<int, int> key(ControlId id) {
  return {static_cast<int>(id.name), id.index};
}

QString fromText(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Qt::Alignment toQtAlignment(TextAlignment alignment) {
  switch (alignment) {
    case TextAlignment::Left:
      return Qt::AlignLeft | Qt::AlignVCenter;
    case TextAlignment::Centre:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    case TextAlignment::Right:
      return Qt::AlignRight | Qt::AlignVCenter;
    case TextAlignment::Default:
      break;
  }
  return Qt::AlignLeft | Qt::AlignVCenter;
}

// Every caption of the table fits its control in this font: the text of a button inside its
// frame, a label's text in its box, each at least one pixel clear of the top and bottom.
bool captionsFit(const QFont& font) {
  const QFontMetrics metrics(font);
  for (const auto& tableRow : controlTable()) {
    const bool button =
        tableRow.kind == ControlKind::PaintingButton || tableRow.kind == ControlKind::PlainButton;
    if (!button && tableRow.kind != ControlKind::Label) continue;
    const int room = toPixels(tableRow.width) - (button ? 4 : 0);
    if (metrics.horizontalAdvance(fromText(tableRow.caption)) > room) return false;
    if (metrics.height() > toPixels(tableRow.height) - 2) return false;
  }
  return true;
}

void setLabelColours(QLabel& label, std::optional<Colour> back, std::optional<Colour> text) {
  QPalette palette = label.palette();
  if (back) {
    palette.setColor(QPalette::Window, toQColor(*back));
    label.setAutoFillBackground(true);
  }
  if (text) palette.setColor(QPalette::WindowText, toQColor(*text));
  label.setPalette(palette);
}

}  // namespace

QFont panelFont(const QFont& base) {
  QFont font = base;
  int pixels = QFontInfo(base).pixelSize();
  constexpr int SmallestPixels = 8;
  while (pixels > SmallestPixels && !captionsFit(font)) {
    --pixels;
    font.setPixelSize(pixels);
  }
  return font;
}

namespace {

// The icon's two PNG images, read as PNG: a file left to Qt to recognise makes it load and ask
// every image-format plugin installed (GIF, ICO, JPEG, ...), a few milliseconds of every start.
QIcon programIcon() {
  QIcon icon;
  for (const auto* file : {":/orvane/orvane-16.png", ":/orvane/orvane-32.png"}) {
    QImageReader reader(QString::fromLatin1(file), "png");
    reader.setAutoDetectImageFormat(false);
    icon.addPixmap(QPixmap::fromImage(reader.read()));
  }
  return icon;
}

}  // namespace

PanelWindow::PanelWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(fromText(WindowCaptionAtLoad));
  setWindowIcon(programIcon());
  setFixedSize(toPixels(ClientWidthTwips), toPixels(ClientHeightTwips));
  setFont(panelFont(font()));

  installPanelAccessibility();
  buildControls();
  buildTabOrder();

  timer_.setTimerType(Qt::CoarseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] { send({EventKind::TimerTick}); });
  // A read that falls due during an operation is dropped; the next period brings the next one.
  connect(&followTimer_, &QTimer::timeout, this, [this] { send({EventKind::FollowTick}); });
}

void PanelWindow::buildControls() {
  for (const auto& tableRow : controlTable()) {
    if (QWidget* widget = makeControl(tableRow)) {
      widget->setGeometry(toPixels(tableRow.left), toPixels(tableRow.top), toPixels(tableRow.width),
                          toPixels(tableRow.height));
      if (!tableRow.tooltip.empty()) widget->setToolTip(fromText(tableRow.tooltip));
      widget->setAccessibleName(QString::fromStdString(panel::accessibleName(tableRow.id)));
      widget->setObjectName(QString::fromStdString(controlText(tableRow.id)));
      controls_[key(tableRow.id)] = widget;
    }
  }
}

QWidget* PanelWindow::makeControl(const ControlSpec& tableRow) {
  const QString caption = fromText(tableRow.caption);
  QPushButton* button = nullptr;
  switch (tableRow.kind) {
    case ControlKind::PaintingButton: {
      auto* painting =
          new PaintingButton(caption, toQColor(tableRow.backColour.value_or(colour::Grey)), this);
      painting->setShowsOnOffState(showsOnOffState(tableRow.id));
      button = painting;
      break;
    }
    case ControlKind::PlainButton:
      button = new QPushButton(caption, this);
      break;
    case ControlKind::Label: {
      auto* label =
          isReadout(tableRow.id) ? new ReadoutLabel(caption, this) : new QLabel(caption, this);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(toQtAlignment(tableRow.alignment));
      label->setFocusPolicy(Qt::NoFocus);
      setLabelColours(*label, tableRow.backColour, tableRow.textColour);
      return label;
    }
    case ControlKind::DropDownList:
      modeList_ = new QComboBox(this);
      modeList_->setEditable(false);
      // activated comes only from the operator (mouse, keys, wheel), never from setCurrentIndex.
      connect(modeList_, &QComboBox::activated, this, &PanelWindow::modeChosen);
      return modeList_;
    case ControlKind::Timer:
      return nullptr;
  }
  button->setAutoDefault(false);
  button->setDefault(false);
  if (const auto event = clickEventOf(tableRow.id)) {
    // A disabled button emits no clicked.
    connect(button, &QPushButton::clicked, this, [this, e = *event] { send(e); });
  }
  return button;
}

// Keyboard focus follows the tab indexes among the controls that can take it.
void PanelWindow::buildTabOrder() {
  std::vector<const ControlSpec*> focusable;
  for (const auto& tableRow : controlTable()) {
    const QWidget* widget = control(tableRow.id);
    if (widget && widget->focusPolicy() != Qt::NoFocus) focusable.push_back(&tableRow);
  }
  std::sort(focusable.begin(), focusable.end(),
            [](const ControlSpec* a, const ControlSpec* b) { return a->tabIndex < b->tabIndex; });
  for (std::size_t i = 1; i < focusable.size(); ++i) {
    setTabOrder(control(focusable[i - 1]->id), control(focusable[i]->id));
  }
}

QWidget* PanelWindow::control(ControlId id) const {
  const auto found = controls_.find(key(id));
  return found == controls_.end() ? nullptr : found->second;
}

bool PanelWindow::load() {
  return send({EventKind::Load});
}

bool PanelWindow::send(ControlEvent event) {
  if (!dispatcher_ || finished_) return false;
  return dispatcher_->handle(event);
}

void PanelWindow::setControlColour(ControlId id, Colour colour) {
  QWidget* widget = control(id);
  if (auto* button = dynamic_cast<PaintingButton*>(widget)) {
    button->setColour(toQColor(colour));
  } else if (auto* label = dynamic_cast<QLabel*>(widget)) {
    if (label->autoFillBackground() && label->palette().color(QPalette::Window) == toQColor(colour))
      return;
    setLabelColours(*label, colour, std::nullopt);
  }
}

void PanelWindow::setControlEnabled(ControlId id, bool enabled) {
  QWidget* widget = control(id);
  if (widget && widget->isEnabled() != enabled) widget->setEnabled(enabled);
}

void PanelWindow::setControlCaption(ControlId id, const std::string& text) {
  const QString caption = QString::fromStdString(text);
  QWidget* widget = control(id);
  if (auto* readout = dynamic_cast<ReadoutLabel*>(widget)) {
    readout->setReading(caption);
  } else if (auto* label = dynamic_cast<QLabel*>(widget)) {
    if (label->text() != caption) label->setText(caption);
  } else if (auto* button = dynamic_cast<QPushButton*>(widget)) {
    if (button->text() != caption) button->setText(caption);
  }
}

void PanelWindow::setCaption(const std::string& text) {
  caption_ = text;
  const QString caption = QString::fromStdString(caption_ + captionSuffix_);
  if (windowTitle() != caption) setWindowTitle(caption);
}

void PanelWindow::setCaptionSuffix(const std::string& suffix) {
  captionSuffix_ = suffix;
  setCaption(caption_);
}

// Adding entries keeps the selection where it is; in an empty list Qt would select the first
// entry and signal it, so the insert runs with signals blocked and "nothing selected" restored.
void PanelWindow::insertModeEntry(const std::string& text, std::int16_t index) {
  if (index < 0 || index > modeList_->count()) return;
  const QSignalBlocker blocker(modeList_);
  const int selected = modeList_->currentIndex();
  modeList_->insertItem(index, QString::fromStdString(text));
  if (selected < 0) modeList_->setCurrentIndex(-1);
  if (selectedMode_ >= index) ++selectedMode_;
}

bool PanelWindow::selectMode(std::int16_t index) {
  if (index < -1 || index >= modeList_->count() || index == modeList_->currentIndex()) return false;
  const QSignalBlocker blocker(modeList_);
  modeList_->setCurrentIndex(index);
  selectedMode_ = index;
  return true;
}

std::int16_t PanelWindow::modeIndex() const {
  return static_cast<std::int16_t>(modeList_->currentIndex());
}

void PanelWindow::setTickInterval(int milliseconds) {
  if (finished_) return;
  if (milliseconds > 0) {
    timer_.start(milliseconds);
  } else {
    timer_.stop();
  }
}

void PanelWindow::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (onScreen_) QTimer::singleShot(0, this, std::exchange(onScreen_, nullptr));
}

void PanelWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (followTimer_.interval() > 0 && !finished_) followTimer_.start();
}

// The controls raise no context menu of their own, so a right-click anywhere comes here, as does
// the menu key; Shift+F10, which Qt does not turn into one on Linux, is taken as the controls leave
// it. The presets file is read as the menu opens, for the names.
void PanelWindow::contextMenuEvent(QContextMenuEvent* event) {
  openContextMenu(event->globalPos());
}

void PanelWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
    const QWidget* focus = focusWidget() ? focusWidget() : this;
    openContextMenu(focus->mapToGlobal(QPoint(0, focus->height())));
    return;
  }
  QWidget::keyPressEvent(event);
}

void PanelWindow::openContextMenu(const QPoint& at) {
  if (!presets_ || finished_ || (dispatcher_ && dispatcher_->busy())) return;
  const auto presets = presets_->menuPresets();
  QMenu menu(this);
  const QAction* store = menu.addAction(QString::fromUtf8(StorePresetCaption));
  // Each preset's item in the three submenus, and what choosing it does.
  std::vector<std::pair<const QAction*, std::function<void()>>> chosen;
  const auto submenu = [&](const char* caption, auto itemText, auto act) {
    QMenu* list = menu.addMenu(QString::fromUtf8(caption));
    for (const auto& preset : presets) {
      QAction* item = list->addAction(QString::fromStdString(itemText(preset)));
      chosen.emplace_back(item, [this, act, name = preset.name] { (presets_->*act)(name); });
      if (act == &PresetActions::recallPreset && preset.inForce) {
        item->setCheckable(true);
        item->setChecked(true);
      }
    }
    list->setEnabled(!presets.empty());
  };
  const auto byName = [](const MenuPreset& preset) { return menuItemText(preset.name); };
  submenu(RecallPresetCaption, recallItemText, &PresetActions::recallPreset);
  submenu(RenamePresetCaption, byName, &PresetActions::renamePreset);
  submenu(DeletePresetCaption, byName, &PresetActions::deletePreset);
  const QAction* history = nullptr;
  if (dcHistory_) {
    menu.addSeparator();
    history = menu.addAction(QString::fromUtf8(DcHistoryMenuCaption));
  }
  const QAction* picked = menu.exec(at);
  if (picked && picked == history) openDcHistory();
  if (picked && picked == store) presets_->storePreset();
  for (const auto& [item, act] : chosen) {
    if (picked == item) act();
  }
}

void PanelWindow::openDcHistory() {
  if (!dcHistory_ || finished_) return;
  if (!historyWindow_) {
    historyWindow_ = new DcHistoryWindow(*dcHistory_, this);
    historyWindow_->setMainCaption(windowTitle());
    connect(this, &QWidget::windowTitleChanged, historyWindow_, &DcHistoryWindow::setMainCaption);
  }
  historyWindow_->show();
  historyWindow_->raise();
  historyWindow_->activateWindow();
}

void PanelWindow::followEvery(std::chrono::milliseconds period) {
  followTimer_.setInterval(period);
  if (isVisible() && !finished_) followTimer_.start();
}

// The operator picked an entry. The combo box shows it already; picking the entry that was
// selected raises nothing, and a choice the dispatcher drops (a handler is still running) is
// taken back.
void PanelWindow::modeChosen(int index) {
  if (index == selectedMode_) return;
  const int previous = selectedMode_;
  selectedMode_ = index;
  if (!send({EventKind::ModeClick}) && !finished_) {
    selectedMode_ = previous;
    const QSignalBlocker blocker(modeList_);
    modeList_->setCurrentIndex(previous);
  }
}

void PanelWindow::finishRun() {
  if (finished_) return;
  finished_ = true;
  timer_.stop();
  followTimer_.stop();
  if (historyWindow_) historyWindow_->hide();
  hide();
  emit runFinished();
}

bool PanelWindow::operationRunning() const {
  return dispatcher_ && dispatcher_->busy() && !finished_;
}

void PanelWindow::closeDuringOperation() {
  send({EventKind::Unload});
}

// The close box: Form_Unload runs through the dispatcher, then the run is over. While a handler
// is still running the dispatcher keeps the close and closes the window once it has finished.
void PanelWindow::closeEvent(QCloseEvent* event) {
  if (finished_) {
    event->accept();
    return;
  }
  const bool kept = dispatcher_ && dispatcher_->busy();
  send({EventKind::Unload});
  if (kept) {
    event->ignore();
    return;
  }
  event->accept();
  finishRun();
}

}  // namespace orvane::panel::qt
