#include "app/msgdlg/sui_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "app/icons.h"
#include "app/skin/form.h"
#include "app/skin/skin.h"

namespace quillora {

namespace {

// The dialog's designed measures, in pixels of its client area.
constexpr int kTile = 42;               // one picture of the MSGDLG strip
constexpr int kLabelTop = 64;
constexpr int kLabelWidth = 225;
constexpr int kLabelMinHeight = 13;     // one line of the dialog's font
constexpr int kLabelLeftWithIcon = 88;
constexpr int kLabelLeftWithoutIcon = 24;
constexpr int kImageLeft = 24;
constexpr int kImageSize = 40;          // the picture's designed place is 40 x 40
constexpr int kImageBottom = kLabelTop + kImageSize;
constexpr int kNarrowing = 64;          // taken off a dialog without a picture and with 1 or 2 buttons
constexpr int kButtonWidth = 73;
constexpr int kButtonHeight = 25;
constexpr int kButtonsTop = 20;         // from the text's (or picture's) bottom to the buttons
constexpr int kButtonsRight = 97;       // from the right edge to the rightmost button's left
constexpr int kButtonStep = 93;         // from one button's left to the next one's
constexpr int kBottomBelowText = 75;    // the client height below the text or picture
constexpr int kDesignedBorder = 6;      // the frame thickness the designed width allows for
constexpr int kMostButtons = 3;         // Button1 to Button3

const QString kDashLine = QStringLiteral("---------------------------");
const QString kCrLf = QStringLiteral("\r\n");

QPixmap Tile(int icon_type) {
  const QPixmap strip = MsgDlgStrip();
  // The last tile is cut from the strip's right edge, the others from the left.
  const int left = icon_type == suiHelp ? strip.width() - kTile : (icon_type - 1) * kTile;
  return strip.copy(left, 0, kTile, kTile);
}

void Place(QWidget* window, TPosition position, QWidget* owner) {
  QRect area;
  switch (position) {
    case TPosition::poMainFormCenter:
    case TPosition::poOwnerFormCenter:
      if (owner && owner->isVisible()) area = owner->window()->frameGeometry();
      break;
    case TPosition::poScreenCenter:
    case TPosition::poDesktopCenter:
    default:
      break;
  }
  if (area.isEmpty()) {
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    area = screen->geometry();
  }
  QRect r = window->frameGeometry();
  r.moveCenter(area.center());
  window->move(r.topLeft());
}

}  // namespace

TfrmMsg::TfrmMsg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowCloseButtonHint),
      suiForm(new skin::TsuiForm(this, skin::TsuiForm::TitleButtons::kCloseOnly)),
      lbl(new QLabel(this)),
      Image1(new QLabel(this)) {
  setObjectName("frmMsg");
  setModal(true);
  resize(kDesignedWidth, kDesignedHeight);
  suiForm->SetBackground(QColor(232, 232, 232));
  suiForm->SetBorderColour(Qt::black);

  lbl->setObjectName("lbl");
  lbl->setTextFormat(Qt::PlainText);
  lbl->setWordWrap(true);
  lbl->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lbl->setAttribute(Qt::WA_TranslucentBackground);
  lbl->setGeometry(kLabelLeftWithIcon, kLabelTop, kLabelWidth, kLabelMinHeight);

  Image1->setObjectName("Image1");
  Image1->setGeometry(kImageLeft, kLabelTop, kImageSize, kImageSize);
}

QPushButton* TfrmMsg::AddButton(const QString& caption, TModalResult result,
                                Qt::CursorShape cursor, QRect geometry) {
  auto* button = new QPushButton(caption, this);
  button->setGeometry(geometry);
  button->setCursor(cursor);
  button->setFocusPolicy(Qt::StrongFocus);
  button->setAutoDefault(true);  // Enter clicks the button with the focus
  button->setDefault(result == mrOk);
  if (result == mrCancel) cancel_ = button;
  button->installEventFilter(this);
  connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
  buttons_.push_back(button);
  return button;
}

QString TfrmMsg::ClipboardText() const {
  QStringList captions;
  for (const QPushButton* b : buttons_) captions << b->text();
  return kDashLine + kCrLf + suiForm->Caption() + kCrLf + kDashLine + kCrLf + lbl->text() + kCrLf +
         kDashLine + kCrLf + captions.join(QStringLiteral("   ")) + kCrLf + kDashLine;
}

void TfrmMsg::reject() { done(mrCancel); }

bool TfrmMsg::HandleKey(QKeyEvent* event) {
  if (event->key() == Qt::Key_C && (event->modifiers() & Qt::ControlModifier)) {
    QGuiApplication::clipboard()->setText(ClipboardText());
    return true;
  }
  if (event->key() == Qt::Key_Escape) {
    const auto held = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    if (cancel_ && !(event->modifiers() & held)) cancel_->click();
    return true;  // never the base class's reject(): Escape without a cancel button does nothing
  }
  return false;
}

bool TfrmMsg::eventFilter(QObject* watched, QEvent* event) {
  // The dialog sees keys before the focused button does.
  if (event->type() == QEvent::KeyPress && HandleKey(static_cast<QKeyEvent*>(event))) return true;
  return QDialog::eventFilter(watched, event);
}

void TfrmMsg::keyPressEvent(QKeyEvent* event) {
  if (!HandleKey(event)) QDialog::keyPressEvent(event);
}

void TfrmMsg::showEvent(QShowEvent* event) {
  const int thickness = suiForm->BorderThickness();
  if (!widened_ && thickness > kDesignedBorder) setFixedWidth(width() + 2 * thickness);
  widened_ = true;
  // Created right to left, each taking the focus in turn: the leftmost keeps it.
  if (!buttons_.empty()) buttons_.back()->setFocus(Qt::OtherFocusReason);
  QDialog::showEvent(event);
}

TsuiDialog::TsuiDialog(QWidget* owner)
    : UIStyle(owner && owner->findChild<skin::TsuiForm*>(QString(), Qt::FindDirectChildrenOnly)
                  ? MacOS
                  : DeepBlue),
      Font(QApplication::font()),
      CaptionFont("Tahoma"),
      owner_(owner) {
  CaptionFont.setBold(true);
}

TsuiMessageDialog::TsuiMessageDialog(QWidget* owner) : TsuiDialog(owner) {}

TfrmMsg* TsuiMessageDialog::BuildWindow() const {
  auto* w = new TfrmMsg(owner_ ? owner_->window() : nullptr);
  w->setFont(Font);
  w->lbl->setFont(Font);
  w->lbl->setText(Text);
  w->lbl->resize(kLabelWidth, std::max(w->lbl->heightForWidth(kLabelWidth), kLabelMinHeight));

  const int b = std::max(w->lbl->geometry().bottom() + 1, kImageBottom);
  const int count = std::clamp<int>(ButtonCount, 1, kMostButtons);

  if (IconType != suiNone) {
    w->lbl->move(kLabelLeftWithIcon, kLabelTop);
    const QPixmap tile = Tile(std::clamp<int>(IconType, suiWarning, suiHelp));
    w->Image1->setPixmap(tile);
    w->Image1->resize(tile.size());
  } else {
    w->lbl->move(kLabelLeftWithoutIcon, kLabelTop);
    w->Image1->hide();
    if (count < kMostButtons) w->resize(w->width() - kNarrowing, w->height());
  }

  const int width = w->width();
  const QString captions[] = {Button1Caption, Button2Caption, Button3Caption};
  const TModalResult results[] = {Button1ModalResult, Button2ModalResult, Button3ModalResult};
  for (int i = 0; i < count; ++i) {
    const int n = count - i;  // the property number this button carries
    w->AddButton(captions[n - 1], results[n - 1], ButtonCursor,
                 QRect(width - kButtonsRight - kButtonStep * i, b + kButtonsTop, kButtonWidth, kButtonHeight));
  }

  w->setFixedSize(width, b + kBottomBelowText);
  w->suiForm->SetCaption(Caption);
  w->suiForm->SetCaptionFont(CaptionFont);
  w->setWindowTitle(Caption);
  Place(w, Position, owner_);
  return w;
}

TModalResult TsuiMessageDialog::Execute() {
  // The owner may go away while the dialog runs its own event loop.
  QPointer<TfrmMsg> window = BuildWindow();
  const int result = window->exec();
  delete window.data();
  return result;
}

}  // namespace quillora
