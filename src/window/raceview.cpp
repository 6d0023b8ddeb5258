#include "window/raceview.h"

#include <QScrollArea>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QActionGroup>
#include <QEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

#include "racecard/racecard.h"
#include "window/qtext.h"
#include "window/speechcontrol.h"

namespace ozn {
namespace {

constexpr qint64 kFrameMs = 28;  // with the race's ticks every 10 ms: about 30 frames a second

// Brackets as a card of 18 assigns them: two horses each, three in the last two.
int bracket(int horse) { return horse <= 12 ? (horse + 1) / 2 : horse <= 15 ? 7 : 8; }

struct Colours {
    QColor fill, number;
};
Colours bracketColours(int horse) {
    static const Colours kBrackets[8] = {
        {QColor(255, 255, 255), Qt::black}, {QColor(24, 24, 24), Qt::white},  {QColor(220, 40, 40), Qt::white},
        {QColor(40, 90, 220), Qt::white},   {QColor(250, 220, 40), Qt::black}, {QColor(30, 150, 70), Qt::white},
        {QColor(250, 140, 30), Qt::black},  {QColor(250, 150, 190), Qt::black}};
    return kBrackets[bracket(horse) - 1];
}

// An oval `off` pixels outside the inside rail.
QPainterPath oval(QPointF origin, double scale, double off) {
    const double r = kTurnRadius * scale + off;
    QPainterPath p;
    p.addRoundedRect(QRectF(origin.x() - r, origin.y() - r, scale + 2 * r, 2 * r), r, r);
    return p;
}

class RaceViewAccessible : public QAccessibleWidget {
public:
    explicit RaceViewAccessible(RaceView* view) : QAccessibleWidget(view, QAccessible::Animation) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return QStringLiteral("レースの展開");
        // Read when asked; a change is never announced, so the view never talks over the race.
        if (t == QAccessible::Description) return static_cast<RaceView*>(widget())->description();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* accessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("ozn::RaceView") && object && object->isWidgetType())
        return new RaceViewAccessible(static_cast<RaceView*>(object));
    return nullptr;
}

const QString kSetting = QStringLiteral("view/race");

}  // namespace

RaceView::RaceView(QScrollArea* scroll) : QWidget(scroll->viewport()) {
    static const bool installed = (QAccessible::installFactory(accessibleFactory), true);
    (void)installed;
    setObjectName(QStringLiteral("raceView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    showsRaces_ = userSettings().value(kSetting, true).toBool();
    scroll->viewport()->installEventFilter(this);
    // The print area's font is the zoom's.
    if (QWidget* area = scroll->widget()) {
        area_ = area;
        area->installEventFilter(this);
        setFont(area->font());
    }
    hide();
}

void RaceView::watch(RaceHooks& hooks, const GameRecord& rec) {
    if (!showsRaces_) return;
    hooks.field = [this, &rec](const RaceField& f) { start(f, rec); };
    hooks.raceClock = [this](double t) { setTime(t); };
    hooks.settled = [this, settled = std::move(hooks.settled)](const RaceOutcome& out, const Settlement& s) {
        hide();  // the print area shows the payouts
        if (settled) settled(out, s);
    };
}

void RaceView::buildMenu(QMenu* other, SpeechControl* control, Speaker& speech) {
    addOnOffMenu(other, control, QStringLiteral("レースを表示(&w)"), QStringLiteral("mnuraceview"), showsRaces_,
                 [this, &speech](bool on) {
                     setShowsRaces(on);
                     speech.reading(on ? "レースを表示 あり" : "レースを表示 なし", SpeakMode::Interrupt, Topic::Info);
                 });
}

void RaceView::setShowsRaces(bool on) {
    showsRaces_ = on;
    userSettings().setValue(kSetting, on);
    if (auto* a = parentWidget()->window()->findChild<QAction*>(on ? QStringLiteral("mnuraceview_on")
                                                                    : QStringLiteral("mnuraceview_off")))
        a->setChecked(true);
}

void RaceView::start(const RaceField& field, const GameRecord& rec) {
    field_ = field;
    for (int h = 0; h < kHorses; ++h) names_[static_cast<std::size_t>(h)] = q(rec.umaname[static_cast<std::size_t>(h)]);
    race_ = q(rec.racename);
    const std::string course = currentCourse(rec);
    course_ = q(course);
    turf_ = course.rfind("芝", 0) == 0;
    frame_ = field_.at(0);
    setGeometry(parentWidget()->rect());
    drawBackground();
    drawn_ = QRegion(rect());
    sinceUpdate_.start();
    raise();
    show();
    update();
}

void RaceView::setTime(double seconds) {
    frame_ = field_.at(seconds);
    // Only what moved is drawn again: the markers where they were and are now, and the line above.
    if (!isVisible() || (sinceUpdate_.isValid() && sinceUpdate_.elapsed() < kFrameMs && !frame_.over)) return;
    const QRegion now = frameRegion();
    update(drawn_ | now);
    drawn_ = now;
    sinceUpdate_.start();
}

QString RaceView::description() const {
    const int h = frame_.leader();
    if (!h) return {};
    const bool finished = frame_.stage == Stage::Finish;
    return QString::fromUtf8(stageName(frame_.stage)) + (finished ? QStringLiteral("、1着は") : QStringLiteral("、先頭は")) +
           QString::number(h) + QStringLiteral("番") + names_[static_cast<std::size_t>(h - 1)];
}

QString RaceView::headline() const {
    const int h = frame_.leader();
    if (!h) return {};
    return QString::fromUtf8(stageName(frame_.stage)) +
           (frame_.stage == Stage::Finish ? QStringLiteral("　1着 ") : QStringLiteral("　先頭 ")) + QString::number(h) +
           QStringLiteral("番 ") + names_[static_cast<std::size_t>(h - 1)];
}

bool RaceView::dark() const { return palette().color(QPalette::Window).lightness() < 80; }

bool RaceView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == parentWidget()) setGeometry(parentWidget()->rect());
    if (event->type() == QEvent::FontChange && watched == area_) setFont(area_->font());
    return QWidget::eventFilter(watched, event);
}

void RaceView::resizeEvent(QResizeEvent* event) {
    drawBackground();
    QWidget::resizeEvent(event);
}

void RaceView::changeEvent(QEvent* event) {
    // The zoom changes the font, high contrast the palette.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        drawBackground();
        update();
    }
    QWidget::changeEvent(event);
}

void RaceView::layout() {
    const QFontMetrics fm(font());
    g_.header = fm.height() * 2;
    const double margin = fm.height(), availH = height() - g_.header - 2 * margin - fm.height();
    // Markers grow with the zoom; at a large one the lanes close up rather
    // than the track taking the whole view.
    const double r = kTurnRadius;
    // ...and in a small window they shrink before the oval does.
    for (g_.marker = std::max(14.0, fm.height() * 1.6);; g_.marker *= 0.9) {
        g_.pad = std::max(2.0, g_.marker / 6);
        g_.lane = std::max(g_.marker * 0.3, std::min(g_.marker * 0.9, (availH * 0.22 - g_.marker - 2 * g_.pad) / (kLanes - 1)));
        g_.band = g_.lane * (kLanes - 1) + g_.marker + 2 * g_.pad;
        const double w = width() - 2 * (margin + g_.band), h = availH - 2 * g_.band;
        g_.scale = std::max(20.0, std::min(w / (1 + 2 * r), h / (2 * r)));
        if (g_.scale >= 7 * g_.marker || g_.marker <= 14) break;
    }
    g_.origin = QPointF((width() - g_.scale) / 2, g_.header + margin + g_.band + r * g_.scale);
}

QPointF RaceView::place(double along, double lane) const {
    const CoursePoint c = coursePoint(along);
    const double off = g_.pad + g_.marker / 2 + lane * g_.lane;
    return g_.origin + QPointF(c.x * g_.scale + c.outX * off, c.y * g_.scale + c.outY * off);
}

QRect RaceView::markerRect(QPointF centre) const {
    const double half = g_.marker * 0.6 + 3;  // with its edge, however thick
    return QRectF(centre.x() - half, centre.y() - half, 2 * half, 2 * half).toAlignedRect();
}

QRegion RaceView::frameRegion() const {
    QRegion r(0, 0, width(), g_.header);
    for (const FieldRunner& f : frame_.runners) r += markerRect(place(f.along, f.lane));
    if (frame_.fellAt >= 0) r += markerRect(place(frame_.fellAt, 0));
    return r;
}

void RaceView::drawBackground() {
    if (width() <= 0 || height() <= 0) return;
    layout();
    background_ = QPixmap(size());
    const bool hc = dark();
    const QColor window = palette().color(QPalette::Window), text = palette().color(QPalette::WindowText);
    const QColor track = turf_ ? (hc ? QColor(0, 96, 0) : QColor(104, 170, 80)) : (hc ? QColor(110, 70, 30) : QColor(190, 150, 100));
    const QColor rail = hc ? QColor(Qt::white) : QColor(250, 250, 250), infield = hc ? window : QColor(214, 232, 200);
    background_.fill(window);
    QPainter p(&background_);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(oval(g_.origin, g_.scale, g_.band), track);
    p.fillPath(oval(g_.origin, g_.scale, 0), infield);
    const double railWidth = std::max(2.0, g_.marker / 8);
    p.setPen(QPen(rail, railWidth));
    p.setBrush(Qt::NoBrush);
    p.drawPath(oval(g_.origin, g_.scale, g_.band));
    p.drawPath(oval(g_.origin, g_.scale, 0));
    if (hc) {  // the track's edges stand out against black
        p.setPen(QPen(QColor(255, 255, 0), 1));
        p.drawPath(oval(g_.origin, g_.scale, g_.band + railWidth));
    }
    // The gate and the line, across the track.
    auto across = [&](double along, const QColor& c, Qt::PenStyle style, double width) {
        p.setPen(QPen(c, width, style));
        p.drawLine(place(along, -g_.marker / 2 / g_.lane - g_.pad / g_.lane), place(along, kLanes - 1 + (g_.marker / 2 + g_.pad) / g_.lane));
    };
    across(0, hc ? QColor(200, 200, 200) : QColor(90, 90, 90), Qt::DashLine, railWidth);
    across(1, hc ? QColor(255, 255, 0) : QColor(200, 0, 0), Qt::SolidLine, railWidth * 2);
    QFont small = font();
    p.setFont(small);
    p.setPen(text);
    const QFontMetrics fm(small);
    auto label = [&](QPointF at, const QString& s) {
        p.drawText(QRectF(at.x() - 200, at.y() - fm.height() / 2.0, 400, fm.height()), Qt::AlignCenter, s);
    };
    const double below = g_.origin.y() + kTurnRadius * g_.scale + g_.band + railWidth + fm.height() * 0.7;
    label(QPointF(place(1, 0).x(), below), QStringLiteral("ゴール"));
    label(QPointF(place(0, 0).x(), below), QStringLiteral("スタート"));
    // The corners, numbered inside the turns as on a course plan.
    p.setPen(hc ? QColor(Qt::white) : QColor(40, 80, 30));
    for (int c = 0; c < 4 && kTurnRadius * g_.scale > 5 * fm.height(); ++c) {
        const double a = (c % 2 ? 0.75 : 0.25) * std::numbers::pi, r = kTurnRadius * g_.scale - fm.height();
        const QPointF centre = g_.origin + QPointF(c < 2 ? g_.scale : 0, 0);
        const double sx = c < 2 ? 1 : -1;
        label(centre + QPointF(sx * r * std::sin(a), sx * r * std::cos(a)), QString::number(c + 1) + QStringLiteral("コーナー"));
    }
    QFont big = font();
    if (big.pixelSize() > 0) big.setPixelSize(big.pixelSize() * 3 / 2);
    else big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    p.setFont(big);
    p.setPen(hc ? QColor(255, 255, 0) : text);
    const QFontMetrics bm(big);
    const QPointF mid = g_.origin + QPointF(g_.scale / 2, 0);
    p.drawText(QRectF(mid.x() - g_.scale, mid.y() - bm.height() * 1.1, 2 * g_.scale, bm.height()), Qt::AlignCenter, race_);
    p.drawText(QRectF(mid.x() - g_.scale, mid.y() + bm.height() * 0.1, 2 * g_.scale, bm.height()), Qt::AlignCenter, course_);
}

void RaceView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setClipRegion(event->region());
    p.drawPixmap(event->rect(), background_, event->rect());
    p.setRenderHint(QPainter::Antialiasing);
    const bool hc = dark();
    QFont head = font();
    head.setBold(true);
    if (head.pixelSize() > 0) head.setPixelSize(head.pixelSize() * 4 / 3);
    else head.setPointSizeF(head.pointSizeF() * 4 / 3);
    p.setFont(head);
    p.setPen(hc ? QColor(255, 255, 0) : palette().color(QPalette::WindowText));
    p.drawText(QRect(g_.header / 4, 0, width(), g_.header), Qt::AlignVCenter | Qt::AlignLeft, headline());
    if (frame_.fellAt >= 0) {  // where the faller went down
        const QPointF at = place(frame_.fellAt, 0);
        const double s = g_.marker * 0.35;
        p.setPen(QPen(hc ? QColor(255, 90, 90) : QColor(200, 0, 0), std::max(2.0, g_.marker / 7)));
        p.drawLine(at + QPointF(-s, -s), at + QPointF(s, s));
        p.drawLine(at + QPointF(-s, s), at + QPointF(s, -s));
    }
    QFont number = font();
    number.setBold(true);
    number.setPixelSize(std::max(8, static_cast<int>(g_.marker * 0.55)));
    p.setFont(number);
    const QPen edge(hc ? QColor(Qt::white) : QColor(60, 60, 60), hc ? std::max(2.0, g_.marker / 10) : 1.2);
    // The leaders last, on top of those behind.
    for (auto it = frame_.runners.rbegin(); it != frame_.runners.rend(); ++it) {
        const QPointF c = place(it->along, it->lane);
        const Colours colours = bracketColours(it->horse);
        const double r = g_.marker / 2;
        p.setPen(edge);
        p.setBrush(colours.fill);
        p.drawEllipse(c, r, r);
        p.setPen(colours.number);
        p.drawText(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), Qt::AlignCenter, QString::number(it->horse));
    }
}

}  // namespace ozn
