#pragma once
// 成績 (F12): the results window. This meeting race by race, the breakdowns
// a bettor studies over a chosen period, and the money over time: a chart
// for the eye and one sentence for the ear.
#include <QDialog>
#include <QPointer>
#include <string>

#include "history/history.h"
#include "window/textwindow.h"

class QChartView;
class QComboBox;
class QLabel;
class QPushButton;
class QStackedWidget;

namespace ozn {

class ResultsWindow : public QDialog {
    Q_OBJECT
public:
    enum class View { Races, Kind, Popularity, Odds, Course, TicketCount, Chart };
    // history: null when this run keeps none. today: "YYYY-MM-DD". `say`
    // hears what a screen reader reads itself (lines, controls); `tell`
    // what none notices: the table a key of the window changed to.
    ResultsWindow(QWidget* parent, const History* history, int meeting, std::string today, SayLine say,
                  SayLine tell = {});
    // One window at a time: opens it (as of today), or brings the open one
    // back to the front.
    static void showOne(QPointer<ResultsWindow>& window, QWidget* parent, const History* history, int meeting,
                        SayLine say, SayLine tell = {});
    void setPeriod(Period p);
    void setView(View v);
    Period period() const;
    View view() const;
    LineView* text() const { return text_; }
    QChartView* chart() const { return chart_; }
    // The view on screen as CSV: a breakdown row by row, or the races of the
    // period (the table of races and the chart). false when it cannot be
    // written or no history is kept.
    bool saveView(const std::string& path) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refresh();
    void drawChart();
    void askSaveView();
    PeriodFilter filter() const;

    const History* history_;
    int meeting_;
    std::string today_;
    SayLine say_, tell_;
    QComboBox *periods_, *views_;
    QLabel *periodLabel_, *viewLabel_;  // their labels, which a screen reader reads as their names
    QPushButton* save_;
    QStackedWidget* pages_;
    LineView* text_;
    QChartView* chart_;
    QLabel* trendLabel_;
};

}  // namespace ozn
