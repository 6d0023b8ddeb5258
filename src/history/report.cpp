// What the results window shows, and the CSV export.
#include <algorithm>
#include <sstream>
#include <string_view>
#include <limits>

#include "betting/betting.h"
#include "core/savefile.h"
#include "core/text.h"
#include "history/history.h"

namespace ozn {
namespace {

// Percent with one decimal, halves rounded up as the game's odds are; "-"
// when there is nothing to divide by.
std::string percent(Money part, Money whole) {
    if (whole <= 0 || part < 0) return "-";
    const __int128 tenths = (static_cast<__int128>(part) * 2000 + whole) / (2 * static_cast<__int128>(whole));
    return std::to_string(static_cast<long long>(tenths / 10)) + "." + std::to_string(static_cast<int>(tenths % 10)) + "%";
}

// Sums of amounts from a file that may be damaged: never wrap around.
Money plus(Money a, Money b) {
    Money sum;
    return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<Money>::max() : sum;
}

std::string yen(Money m) { return text::plainNumber(m) + "円"; }

std::string raceTitle(const RaceRow& r) {
    return "第" + text::signedNumber(r.raceNo) + "レース " + r.raceName + (r.course.empty() ? "" : " " + r.course);
}

std::string rowLine(const StatsRow& r) {
    std::string line = r.label + " " + std::to_string(r.tickets) + "枚 " + yen(r.stake) + " 払い戻し " + yen(r.payouts) +
                       " 的中率 " + percent(r.hits, r.tickets) + " 回収率 " + percent(r.payouts, r.stake) +
                       " 返還込み " + percent(plus(r.payouts, r.refunded), plus(r.stake, r.refunded)) + " 最高 " +
                       yen(r.best);
    if (r.refunds) line += " 返還 " + std::to_string(r.refunds) + "枚 " + yen(r.refunded);
    return line;
}

StatsRow total(const std::vector<StatsRow>& rows) {
    StatsRow all;
    all.label = "合計";
    for (const StatsRow& r : rows) {
        all.tickets += r.tickets, all.hits += r.hits, all.refunds += r.refunds;
        all.stake = plus(all.stake, r.stake), all.payouts = plus(all.payouts, r.payouts);
        all.refunded = plus(all.refunded, r.refunded), all.best = std::max(all.best, r.best);
    }
    return all;
}

std::string csvField(const std::string& text) {
    // Names come from files players edit: one that begins like a formula is
    // shown by a spreadsheet as the text it is, never run.
    const std::string s = !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos
                              ? "'" + text : text;
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

}  // namespace

std::vector<std::string> reportLines(const History& history, const PeriodFilter& period) {
    std::vector<std::string> out;
    if (int skipped = history.skippedRows())
        out.push_back("記録のうち " + std::to_string(skipped) + " 行は壊れていて読めないので、除いてあります");
    const bool meeting = period.period == Period::Meeting;
    out.push_back(meeting ? "今開催の成績（第" + std::to_string(period.meeting) + "開催）" : periodName(period.period) + "の成績");
    std::vector<RaceRow> races = history.races(period);
    if (races.empty()) out.push_back("まだレースはありません");
    for (const RaceRow& r : races) {
        // Beyond one meeting a race is told by its day and meeting too.
        const std::string when = meeting ? "" : r.playedAt.substr(0, 16) + " 第" + std::to_string(r.meeting) + "開催 ";
        out.push_back(when + raceTitle(r) + (r.commandLine ? " 金額指定" : "") + (r.honkaku ? " 本格ルール" : ""));
        std::string top;
        for (std::size_t i = 0; i < r.finish.size() && i < 3; ++i)
            top += (i ? " " : "") + std::to_string(i + 1) + "着 " + std::to_string(r.finish[i]) + "番";
        out.push_back("  " + (top.empty() ? std::string("着順は記録されていません") : top));
        if (r.scratched) out.push_back("  除外 " + std::to_string(r.scratched) + "番");
        if (r.fallen) out.push_back("  落馬 " + std::to_string(r.fallen) + "番");
        for (const std::string& l : r.lines) out.push_back("  " + l);
        for (Money fee : r.tipSheets) out.push_back("  予想紙 " + yen(fee));
        const Money change = r.after - r.before;
        out.push_back("  " + (change == 0   ? "持ち金は変わらず " + yen(r.after)
                              : change > 0 ? yen(change) + "増えて 持ち金 " + yen(r.after)
                                           : yen(-change) + "減って 持ち金 " + yen(r.after)));
    }
    out.push_back("");
    out.push_back("最高払い戻し");
    if (auto b = history.best())
        out.push_back(b->race.playedAt + " 第" + std::to_string(b->race.meeting) + "開催 " + raceTitle(b->race) + " " +
                      kindName(b->payout.kind) + " " + horsesSpoken(b->payout.horses, b->payout.kind) + " " + b->payout.multiplier +
                      "倍 " + yen(b->payout.amount));
    else
        out.push_back("まだありません");
    return out;
}

std::vector<std::string> statsLines(const History& history, Breakdown by, const PeriodFilter& period) {
    std::vector<std::string> out{
        periodName(period.period) + "の" + breakdownName(by),
        "回収率は、返還された馬券を買わなかったものとして数えます。返還込みは、返還を払い戻しに数えた率です"};
    std::vector<StatsRow> rows = history.breakdown(by, period);
    for (const StatsRow& r : rows) out.push_back(rowLine(r));
    if (rows.empty()) out.push_back("馬券はまだありません");
    else out.push_back(rowLine(total(rows)));
    return out;
}

std::string trendSentence(const std::vector<MoneyPoint>& points, Period period) {
    static const char* const kIn[] = {"今開催で", "今日は", "7日で", "30日で", "通算で"};
    const std::string name = periodName(period);
    if (points.empty()) return name + "はまだレースがありません";
    Money low = points.front().before, high = low, stake = 0, paid = 0;
    for (const MoneyPoint& p : points) low = std::min(low, p.after), high = std::max(high, p.after);
    const std::size_t recent = std::min<std::size_t>(points.size(), 10);
    for (std::size_t i = points.size() - recent; i < points.size(); ++i)
        stake = plus(stake, points[i].stake), paid = plus(paid, points[i].payouts);
    const std::string last = "最近" + std::to_string(recent) + "レース";
    return std::string(kIn[static_cast<int>(period)]) + " " + std::to_string(points.size()) + "レース。持ち金は " +
           yen(points.front().before) + "から " + yen(points.back().after) + "、最低 " + yen(low) + "、最高 " +
           yen(high) + "。" + (stake ? last + "の回収率 " + percent(paid, stake) : last + "は馬券を買っていません");
}

namespace {
// A CSV file as spreadsheet programs take it: UTF-8 with a BOM (so that they
// know it is UTF-8), a header line and CR LF line ends. false when it cannot
// be written. Made whole first and renamed over the old one, so a failed
// write never leaves half a file over an earlier export.
template <class Rows>
bool writeCsvFile(const std::string& path, const char* header, Rows rows) {
    std::ostringstream f;
    f << "\xEF\xBB\xBF" << header << "\r\n";
    rows(f);
    return replaceFile(path, f.str(), true);
}
}  // namespace

bool writeCsv(const History& history, const std::string& path) {
    // The horses are written as the game says them, which no spreadsheet takes for a date.
    return writeCsvFile(path, "日時,開催,レース,レース名,コース,券種,馬番,金額,払い戻し,返還,オッズ,オッズ上限,人気,金額指定", [&](std::ostream& f) {
        auto number = [](double v) {
            std::string t = v > 0 ? text::formatOdds(v, 2) : "";
            if (!t.empty() && t.back() == '.') t.pop_back();
            return t;
        };
        for (const RaceRow& r : history.allRaces())
            for (const TicketRow& t : r.tickets) {
                Money paid = 0, refunded = 0;
                for (const PayoutRow& p : r.payouts)
                    if (p.kind == t.kind && p.horses == t.horses) (p.refund ? refunded : paid) = plus(p.refund ? refunded : paid, p.amount);
                f << csvField(r.playedAt) << ',' << r.meeting << ',' << r.raceNo << ',' << csvField(r.raceName) << ','
                  << csvField(r.course) << ',' << kindName(t.kind) << ',' << horsesSpoken(t.horses, t.kind) << ',' << t.stake << ','
                  << paid << ',' << refunded << ',' << number(t.odds) << ',' << number(t.oddsHigh) << ','
                  << (t.popularity ? std::to_string(t.popularity) : "") << ',' << (r.commandLine ? 1 : 0) << "\r\n";
            }
    });
}

bool writeSummaryCsv(const History& history, Breakdown by, const PeriodFilter& period, const std::string& path) {
    return writeCsvFile(path, "期間,表,項目,枚数,的中,金額,払い戻し,的中率,回収率,回収率(返還込み),最高払い戻し,返還枚数,返還金額", [&](std::ostream& f) {
        std::vector<StatsRow> rows = history.breakdown(by, period);
        if (!rows.empty()) rows.push_back(total(rows));
        for (const StatsRow& r : rows)
            f << periodName(period.period) << ',' << breakdownName(by) << ',' << csvField(r.label) << ',' << r.tickets << ','
              << r.hits << ',' << r.stake << ',' << r.payouts << ',' << percent(r.hits, r.tickets) << ','
              << percent(r.payouts, r.stake) << ',' << percent(plus(r.payouts, r.refunded), plus(r.stake, r.refunded))
              << ',' << r.best << ',' << r.refunds << ',' << r.refunded << "\r\n";
    });
}

bool writeRacesCsv(const History& history, const PeriodFilter& period, const std::string& path) {
    return writeCsvFile(path, "日時,開催,レース,レース名,コース,1着,2着,3着,除外,落馬,前の持ち金,後の持ち金,金額指定", [&](std::ostream& f) {
        auto horse = [](int h) { return h > 0 ? std::to_string(h) : std::string(); };
        for (const RaceRow& r : history.races(period)) {
            f << csvField(r.playedAt) << ',' << r.meeting << ',' << r.raceNo << ',' << csvField(r.raceName) << ','
              << csvField(r.course);
            for (std::size_t i = 0; i < 3; ++i) f << ',' << horse(i < r.finish.size() ? r.finish[i] : 0);
            f << ',' << horse(r.scratched) << ',' << horse(r.fallen) << ',' << r.before << ',' << r.after << ','
              << (r.commandLine ? 1 : 0) << "\r\n";
        }
    });
}

}  // namespace ozn
