#include "window/resultswindow.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDate>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QValueAxis>
#include <QVBoxLayout>
#include <cmath>
#include <tuple>

#include "window/qtext.h"

namespace ozn {
namespace {

constexpr Period kPeriods[] = {Period::Meeting, Period::Today, Period::Week, Period::Month, Period::All};
// The views with their keys; the breakdowns in between, in their order.
const char* const kViewNames[] = {"レース", "券種別", "人気別", "オッズ別", "コース別", "点数別", "グラフ"};
const char kViewKeys[] = {'R', 'K', 'N', 'O', 'C', 'T', 'G'};
const QString kSaveTitle = QStringLiteral("この表をCSVで保存");

bool isBreakdown(ResultsWindow::View v) {
    return v != ResultsWindow::View::Races && v != ResultsWindow::View::Chart;
}
Breakdown breakdownOf(ResultsWindow::View v) { return kBreakdowns[static_cast<int>(v) - 1]; }

}  // namespace

ResultsWindow::ResultsWindow(QWidget* parent, const History* history, int meeting, std::string today, SayLine say,
                             SayLine tell)
    : QDialog(parent), history_(history), meeting_(meeting), today_(std::move(today)), say_(std::move(say)),
      tell_(tell ? std::move(tell) : say_) {
    setAttribute(Qt::WA_DeleteOnClose);
    handKeyboardBack(this);
    setObjectName(QStringLiteral("results"));
    setWindowTitle(QStringLiteral("成績"));
    periods_ = new QComboBox(this);
    periods_->setObjectName(QStringLiteral("period"));
    periods_->setAccessibleName(QStringLiteral("期間"));
    for (Period p : kPeriods) periods_->addItem(q(periodName(p)));
    periods_->setCurrentIndex(static_cast<int>(Period::Meeting));
    views_ = new QComboBox(this);
    views_->setObjectName(QStringLiteral("view"));
    views_->setAccessibleName(QStringLiteral("表示"));
    for (const char* v : kViewNames) views_->addItem(QString::fromUtf8(v));
    save_ = new QPushButton(kSaveTitle + QStringLiteral("(&S)"), this);
    save_->setAutoDefault(false);  // Enter in the table reads on; it must not open a file box
    text_ = new LineView(QStringLiteral("成績"), say_, this);
    chart_ = new QChartView(new QChart, this);
    chart_->setObjectName(QStringLiteral("chart"));
    chart_->setAccessibleName(QStringLiteral("持ち金の推移"));
    chart_->setFocusPolicy(Qt::StrongFocus);
    chart_->setRenderHint(QPainter::Antialiasing);
    trendLabel_ = new QLabel(this);
    trendLabel_->setWordWrap(true);
    auto* chartPage = new QWidget(this);
    auto* chartLayout = new QVBoxLayout(chartPage);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addWidget(chart_, 1);
    chartLayout->addWidget(trendLabel_);
    pages_ = new QStackedWidget(this);
    pages_->addWidget(text_);
    pages_->addWidget(chartPage);

    auto* bar = new QHBoxLayout;
    periodLabel_ = new QLabel(QStringLiteral("期間(&P)"), this);
    periodLabel_->setBuddy(periods_);
    viewLabel_ = new QLabel(QStringLiteral("表示(&V)"), this);
    viewLabel_->setBuddy(views_);
    for (QWidget* w : std::initializer_list<QWidget*>{periodLabel_, periods_, viewLabel_, views_, save_}) bar->addWidget(w);
    bar->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(pages_, 1);
    setTabOrder(periods_, views_);
    setTabOrder(views_, save_);

    connect(periods_, &QComboBox::currentIndexChanged, this, &ResultsWindow::refresh);
    connect(views_, &QComboBox::currentIndexChanged, this, &ResultsWindow::refresh);
    connect(save_, &QPushButton::clicked, this, &ResultsWindow::askSaveView);
    // Keys, wherever the focus is in the window: 1..5 the period, a letter the view.
    auto key = [this](QKeySequence k, auto act) {
        auto* s = new QShortcut(k, this);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        connect(s, &QShortcut::activated, this, act);
    };
    for (int i = 0; i < 5; ++i) key(QKeySequence(Qt::Key_1 + i), [this, i] { setPeriod(kPeriods[i]); });
    for (int i = 0; i < 7; ++i)
        key(QKeySequence(QString(QLatin1Char(kViewKeys[i]))), [this, i] { setView(static_cast<View>(i)); });
    for (QWidget* w : std::initializer_list<QWidget*>{periods_, views_, save_, chart_}) w->installEventFilter(this);
    fitToText(this, 60, 32);
    refresh();
}

void ResultsWindow::showOne(QPointer<ResultsWindow>& window, QWidget* parent, const History* history, int meeting,
                            SayLine say, SayLine tell) {
    if (!window || !window->isVisible()) {
        const std::string today = QDate::currentDate().toString(Qt::ISODate).toStdString();
        window = new ResultsWindow(parent, history, meeting, today, std::move(say), std::move(tell));
    }
    window->show();
    window->raise();
    window->activateWindow();
    window->text()->setFocus();
}

Period ResultsWindow::period() const { return kPeriods[periods_->currentIndex()]; }
ResultsWindow::View ResultsWindow::view() const { return static_cast<View>(views_->currentIndex()); }

void ResultsWindow::setPeriod(Period p) { periods_->setCurrentIndex(static_cast<int>(p)); }
void ResultsWindow::setView(View v) {
    views_->setCurrentIndex(static_cast<int>(v));
    (v == View::Chart ? static_cast<QWidget*>(chart_) : text_)->setFocus();
}

PeriodFilter ResultsWindow::filter() const { return {period(), meeting_, today_}; }

void ResultsWindow::refresh() {
    // A combo box's value is in its name, and in its label's, which a screen
    // reader reads in its place: it does not read the value of these boxes.
    for (auto [box, label, name] : {std::tuple{periods_, periodLabel_, QStringLiteral("期間 ")}, {views_, viewLabel_, QStringLiteral("表示 ")}}) {
        box->setAccessibleName(name + box->currentText());
        label->setAccessibleName(name + box->currentText());
    }
    // Changed by a key of the window, not in the box itself: no screen
    // reader notices the new table, so it is told.
    const bool byKey = isVisible() && !periods_->hasFocus() && !views_->hasFocus();
    const View v = view();
    if (v == View::Chart) {
        drawChart();
        pages_->setCurrentIndex(1);
        (byKey ? tell_ : say_)(trendLabel_->text().toStdString());
        return;
    }
    std::vector<std::string> lines{"成績は記録されていません"};
    if (history_) lines = v == View::Races ? reportLines(*history_, filter()) : statsLines(*history_, breakdownOf(v), filter());
    text_->setLines(qLines(lines), false);
    pages_->setCurrentIndex(0);
    if (byKey) tell_(lines.front());
    else text_->sayCurrentLine();
}

void ResultsWindow::drawChart() {
    // One reading of the money serves the line and the sentence.
    const std::vector<MoneyPoint> points = history_ ? history_->moneyByRace(filter()) : std::vector<MoneyPoint>{};
    const QString sentence = history_ ? q(trendSentence(points, period())) : QStringLiteral("成績は記録されていません");
    trendLabel_->setText(sentence);
    chart_->setAccessibleDescription(sentence);
    QChart* c = chart_->chart();
    c->removeAllSeries();
    for (QAbstractAxis* a : c->axes()) c->removeAxis(a), delete a;
    auto* series = new QLineSeries;
    double low = 0, high = 1;
    if (!points.empty()) {
        series->append(0, static_cast<double>(points.front().before));
        low = high = static_cast<double>(points.front().before);
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
        series->append(static_cast<double>(i + 1), static_cast<double>(points[i].after));
        low = std::min(low, static_cast<double>(points[i].after)), high = std::max(high, static_cast<double>(points[i].after));
    }
    c->addSeries(series);
    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("レース"));
    x->setLabelFormat(QStringLiteral("%d"));
    // Whole races on the axis: a tick each, or every tenth of the period.
    const double races = std::max<double>(1, static_cast<double>(points.size()));
    x->setRange(0, races);
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    x->setTickInterval(std::max(1.0, std::ceil(races / 10)));
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("持ち金（円）"));
    y->setLabelFormat(QStringLiteral("%.0f"));
    const double pad = std::max(100.0, (high - low) * 0.05);
    y->setRange(std::max(0.0, low - pad), high + pad);
    y->applyNiceNumbers();
    c->addAxis(x, Qt::AlignBottom);
    c->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    c->legend()->hide();
    c->setTitle(QStringLiteral("持ち金の推移（%1）").arg(q(periodName(period()))));
    // The zoom and the colours of the rest of the game, high contrast too.
    const QPalette p = palette();
    c->setBackgroundBrush(p.color(QPalette::Base));
    c->setTitleBrush(p.color(QPalette::WindowText));
    c->setTitleFont(font());
    QPen pen(p.color(QPalette::Highlight), std::max(2, font().pixelSize() / 6));
    series->setPen(pen);
    for (QValueAxis* a : {x, y}) {
        a->setLabelsFont(font());
        a->setTitleFont(font());
        a->setLabelsBrush(p.color(QPalette::WindowText));
        a->setTitleBrush(p.color(QPalette::WindowText));
        a->setLinePenColor(p.color(QPalette::WindowText));
        a->setGridLineColor(p.color(QPalette::Mid));
    }
    chart_->setBackgroundBrush(p.color(QPalette::Base));
}

bool ResultsWindow::saveView(const std::string& path) const {
    if (!history_) return false;
    return isBreakdown(view()) ? writeSummaryCsv(*history_, breakdownOf(view()), filter(), path)
                               : writeRacesCsv(*history_, filter(), path);
}

void ResultsWindow::askSaveView() {
    if (!history_) return say_("成績は記録されていないので保存できません");
    const QString path = askCsvPath(this, kSaveTitle,
                                    isBreakdown(view()) ? QStringLiteral("ozn-shukei.csv") : QStringLiteral("ozn-races.csv"), say_);
    if (!path.isEmpty()) say_(saveView(path.toStdString()) ? "保存しました" : "保存できませんでした");
}

bool ResultsWindow::eventFilter(QObject* watched, QEvent* event) {
    // Self-voicing of the controls as the player moves to them.
    if (event->type() == QEvent::FocusIn) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason) {
            if (watched == chart_) say_(trendLabel_->text().toStdString());
            else if (auto* box = qobject_cast<QComboBox*>(watched))
                say_(box->accessibleName().toStdString());
            else if (watched == save_) say_(kSaveTitle.toStdString());
        }
    }
    if (event->type() == QEvent::KeyPress && watched == save_) {
        const int k = static_cast<QKeyEvent*>(event)->key();
        if (k == Qt::Key_Return || k == Qt::Key_Enter) return askSaveView(), true;
    }
    return QDialog::eventFilter(watched, event);
}

void ResultsWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if ((event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) && view() == View::Chart) drawChart();
}

}  // namespace ozn
