// How the window looks: zoom, the focus ring, wide lists and high contrast.
// The designed layout is the 100 % view; everything else scales from it.
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <utility>

#include "window/form1.h"
#include "window/layout.h"
#include "window/printarea.h"
#include "window/qtext.h"
#include "window/selectionlist.h"
#include "window/speechcontrol.h"
#include "sound/voice.h"

namespace ozn {
namespace {

constexpr int kZoomSteps[] = {100, 125, 150, 200, 250, 300};

// A ring drawn over the focused control; the control itself keeps its look.
class FocusRing : public QWidget {
public:
    static constexpr int kWidth = 3;
    explicit FocusRing(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("focusFrame"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QPen pen(palette().color(QPalette::Active, QPalette::Highlight), kWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        p.setPen(pen);
        p.drawRect(QRectF(rect()).adjusted(kWidth / 2.0, kWidth / 2.0, -kWidth / 2.0, -kWidth / 2.0));
    }
};

// The desktop style measures a menu item with a check column of a fixed
// width but draws it as wide as most of the item's height: at a large zoom
// the longest caption of a menu was cut short ("オンラインマ…アル").
class WholeMenuCaptions : public QProxyStyle {
public:
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                           const QWidget* widget) const override {
        QSize size = QProxyStyle::sizeFromContents(type, option, contents, widget);
        if (type == CT_MenuItem) size.rwidth() += std::max(0, size.height() - 20);
        return size;
    }
};

QPalette highContrastPalette() {
    const QColor black(Qt::black), white(Qt::white), yellow(255, 255, 0), grey(96, 96, 96), dim(160, 160, 160);
    const std::pair<QPalette::ColorRole, QColor> roles[] = {
        {QPalette::Window, black},       {QPalette::WindowText, white},      {QPalette::Base, black},
        {QPalette::AlternateBase, black}, {QPalette::Text, white},           {QPalette::Button, black},
        {QPalette::ButtonText, yellow},  {QPalette::BrightText, yellow},     {QPalette::Highlight, yellow},
        {QPalette::HighlightedText, black},
        {QPalette::Mid, grey},  // a selection without the focus
        {QPalette::Light, white},        {QPalette::Midlight, grey},         {QPalette::Dark, grey},
        {QPalette::Shadow, white},       {QPalette::ToolTipBase, black},     {QPalette::ToolTipText, white},
        {QPalette::PlaceholderText, QColor(192, 192, 192)}};
    QPalette p;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        for (const auto& [role, colour] : roles) p.setColor(group, role, colour);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) p.setColor(QPalette::Disabled, role, dim);
    return p;
}

}  // namespace

void Form1::buildView() {
    if (!dynamic_cast<WholeMenuCaptions*>(QApplication::style())) QApplication::setStyle(new WholeMenuCaptions);
    baseFont_ = QApplication::font();
    normalPalette_ = QApplication::palette();
    focusRing_ = new FocusRing(area_);
    QSettings s = userSettings();
    int z = s.value(QStringLiteral("view/zoom"), 100).toInt();
    zoom_ = std::find(std::begin(kZoomSteps), std::end(kZoomSteps), z) != std::end(kZoomSteps) ? z : 100;
    wideLists_ = s.value(QStringLiteral("view/wideLists"), false).toBool();
    highContrast_ = s.value(QStringLiteral("view/highContrast"), false).toBool();
    if (highContrast_) QApplication::setPalette(highContrastPalette());
    focusWatch_ =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { followFocus(now); });
    layoutControls();
}

void Form1::buildViewMenu(QMenu* other) {
    QMenu* view = other->addMenu(QStringLiteral("表示(&d)"));
    view->setObjectName(QStringLiteral("mnuview"));
    auto add = [&](const char* name, const QString& caption, QList<QKeySequence> keys, auto slot) {
        QAction* a = view->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::ApplicationShortcut);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    add("mnuzoomin", QStringLiteral("拡大(&i)"), {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
        [this] { stepZoom(+1); });
    add("mnuzoomout", QStringLiteral("縮小(&o)"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, [this] { stepZoom(-1); });
    add("mnuzoomreset", QStringLiteral("標準の大きさ(&n)"), {QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] { setZoom(100); });
    // A menu closes on the choice: the new state is said, also beside a screen reader.
    auto said = [this](const char* what, bool on) { speech_->answer(std::string(what) + (on ? " オン" : " オフ")); };
    QAction* wide = add("mnuwide", QStringLiteral("リストを広げる(&w)"), {}, [this, said](bool on) {
        setWideLists(on);
        said("リストを広げる", on);
    });
    wide->setCheckable(true);
    wide->setChecked(wideLists_);
    QAction* contrast = add("mnucontrast", QStringLiteral("白黒反転(&c)"), {}, [this, said](bool on) {
        setHighContrast(on);
        said("白黒反転", on);
    });
    contrast->setCheckable(true);
    contrast->setChecked(highContrast_);
    speechControl_->watchMenu(view);
}

void Form1::stepZoom(int direction) {
    const int* at = std::find(std::begin(kZoomSteps), std::end(kZoomSteps), zoom_);
    int i = static_cast<int>(at - std::begin(kZoomSteps)) + direction;
    if (i < 0 || i >= static_cast<int>(std::size(kZoomSteps))) {
        say(direction > 0 ? "これ以上大きくできません" : "これ以上小さくできません", Topic::Screen);
        return;
    }
    setZoom(kZoomSteps[i]);
}

void Form1::setZoom(int percent) {
    zoom_ = percent;
    userSettings().setValue(QStringLiteral("view/zoom"), percent);
    layoutControls();
    say(std::to_string(percent) + "%", Topic::Screen);
}

void Form1::setWideLists(bool on) {
    wideLists_ = on;
    userSettings().setValue(QStringLiteral("view/wideLists"), on);
    if (auto* a = findChild<QAction*>(QStringLiteral("mnuwide"))) a->setChecked(on);
    layoutControls();
}

void Form1::setHighContrast(bool on) {
    highContrast_ = on;
    userSettings().setValue(QStringLiteral("view/highContrast"), on);
    if (auto* a = findChild<QAction*>(QStringLiteral("mnucontrast"))) a->setChecked(on);
    QApplication::setPalette(on ? highContrastPalette() : normalPalette_);
    followFocus(QApplication::focusWidget());
}

QWidget* Form1::focusFrame() const { return focusRing_; }

void Form1::layoutControls() {
    const double unit = logicalDpiX() / 96.0 / 15.0, z = zoom_ / 100.0;
    // The 100 % rectangle first, then zoomed: 200 % is exactly twice it.
    auto rectOf = [&](const Place& p) {
        QRect r(qRound(p.left * unit), qRound(p.top * unit), qRound(p.width * unit), qRound(p.height * unit));
        return QRect(qRound(r.x() * z), qRound(r.y() * z), qRound(r.width() * z), qRound(r.height() * z));
    };
    QFont big = baseFont_, small = baseFont_;
    if (baseFont_.pixelSize() > 0) big.setPixelSize(qRound(baseFont_.pixelSize() * z));
    else big.setPointSizeF(baseFont_.pointSizeF() * z);
    // The buttons and labels are only 180 twips high: a font that fits them.
    small.setPixelSize(std::max(8, qRound(qRound(180 * unit) * z) - 2));
    // Every window, menu and dialog that sets no font of its own follows.
    QApplication::setFont(big);
    area_->setFont(big);
    for (int k = 0; k < kAllKinds; ++k) {
        lists_[k]->setFont(big);
        commands_[k]->setFont(small);
        labels_[k]->setFont(small);
    }
    status_->setFont(small);

    // Columns: list 1 and 2, 3 and 4, 5 and 6 (and 7 and 8) with their
    // labels. Wide lists take what their longest entry needs and push the
    // next column along. Only the columns in play count for the extent.
    int columnLeft = rectOf(kListPlace[0]).x();
    const int gap = rectOf(kListPlace[2]).x() - rectOf(kListPlace[0]).right() - 1;
    int right = 0;
    const int inPlay = kindsInPlay(rec_);
    for (int col = 0; col < kAllKinds / 2; ++col) {
        int width = rectOf(kListPlace[col * 2]).width();
        if (wideLists_)
            for (int k : {col * 2, col * 2 + 1}) {
                SelectionList* l = lists_[k];
                const QFontMetrics fm(big);
                int longest = 0;
                for (int i = 0; i < l->count(); ++i) longest = std::max(longest, fm.horizontalAdvance(l->item(i)->text()));
                const int chrome = 2 * l->frameWidth() + l->verticalScrollBar()->sizeHint().width() + 4 * 2 +
                                   fm.horizontalAdvance(QLatin1Char(' '));
                width = std::max(width, longest + chrome);
            }
        for (int k : {col * 2, col * 2 + 1}) {
            QRect r = rectOf(kListPlace[k]), caption = rectOf(kLabelPlace[k]);
            if (wideLists_) r.moveLeft(columnLeft), r.setWidth(width), caption.moveLeft(columnLeft), caption.setWidth(width);
            lists_[k]->setGeometry(r);
            labels_[k]->setGeometry(caption);
            if (k < inPlay) right = std::max(right, r.right());
        }
        columnLeft += width + gap;
    }
    for (int k = 0; k < kAllKinds; ++k) {
        commands_[k]->setGeometry(rectOf(kCommandPlace[k]));
        if (k < inPlay) right = std::max(right, commands_[k]->geometry().right());
    }
    status_->setGeometry(rectOf(kStatusPlace));
    // With wide lists nothing printed may hide under a control: the lines
    // start to the right of them while they are shown.
    textLeftBesideControls_ = wideLists_ ? right + 1 + gap : 0;
    area_->setTextLeft(lists_[0]->isVisibleTo(area_) ? textLeftBesideControls_ : 0);
    const QRect design = rectOf(Place{0, 0, 6885, 6390});
    area_->setControlsExtent(QSize(std::max(design.width(), right + gap), design.height()));
    followFocus(QApplication::focusWidget());
}

void Form1::followFocus(QWidget* now) {
    const bool ours = now && now->parentWidget() == area_ && now != status_;
    if (ours) {
        focusRing_->setGeometry(now->geometry());
        focusRing_->raise();
        focusRing_->show();
        focusRing_->update();
        if (scroll_) scroll_->ensureWidgetVisible(now);
    } else if (now && now->window() == this) {
        focusRing_->hide();
    }
    // The list with the focus shows its selection in the active colour, the
    // others in an inactive one, so that the focused one stands out.
    for (SelectionList* l : lists_) {
        QPalette p = QApplication::palette();
        if (ours ? l != now : l != lastFocusedList_) {
            p.setColor(QPalette::Highlight, p.color(QPalette::Mid));
            p.setColor(QPalette::HighlightedText, p.color(QPalette::Text));
        }
        l->setPalette(p);
    }
    if (auto* l = qobject_cast<SelectionList*>(now)) lastFocusedList_ = l;
    else if (ours) lastFocusedList_ = nullptr;
}

}  // namespace ozn
