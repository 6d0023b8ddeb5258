// The window's glue to the race history: opening it, keeping each race,
// the results window and the CSV export.
#include "history/history.h"
#include "history/keeper.h"
#include "window/form1.h"
#include "window/qtui.h"
#include "window/resultswindow.h"
#include "window/textwindow.h"

namespace ozn {

History* Form1::history() const { return keeper_->history(); }
int Form1::meeting() const { return keeper_->meeting(); }

void Form1::openHistory(const std::string& folder) {
    historyNotice(keeper_->open(folder));
    if (std::string told = keeper_->resume(rec_); !told.empty()) ui_->msgBox(told, "", kStyleOk);
}

void Form1::historyNotice(const std::string& notice) {
    if (!notice.empty()) ui_->msgBox(notice, "成績", kStyleOk);
}

void Form1::recordRace(const RaceOutcome& out, const Settlement& s) { historyNotice(keeper_->settled(rec_, out, s)); }

void Form1::mnuseiseki() {
    auto sayLine = [this](const std::string& line) { say(line, Topic::Entry); };
    if (!refused())
        ResultsWindow::showOne(results_, this, history(), meeting(), sayLine,
                               [this](const std::string& line) { say(line, Topic::Info); });
}

bool Form1::exportCsv(const std::string& path) { return history() && writeCsv(*history(), path); }

void Form1::mnucsv() {
    if (refused()) return;
    const QString path = askCsvPath(this, QStringLiteral("成績をCSVで保存"), QStringLiteral("ozn-seiseki.csv"),
                                    [this](const std::string& text) { say(text, Topic::Dialog); });
    if (path.isEmpty()) return;
    if (exportCsv(path.toStdString())) say("保存しました", Topic::Info);
    else ui_->msgBox("成績を保存できませんでした", "成績", kStyleOk);
}

}  // namespace ozn
