// What the results window shows, and the CSV export.
#include <fstream>
#include <limits>

#include "betting/betting.h"
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

void totalsLines(std::vector<std::string>& out, const std::array<KindTotals, 6>& totals) {
    auto line = [&out](const std::string& label, const KindTotals& t) {
        out.push_back(label + " " + std::to_string(t.tickets) + "枚 " + yen(t.stake) + " 払い戻し " + yen(t.returns) +
                      " 的中率 " + percent(t.hits, t.tickets) + " 回収率 " + percent(t.returns, t.stake));
    };
    KindTotals all;
    for (int k = 0; k < 6; ++k) {
        const KindTotals& t = totals[k];
        all.tickets += t.tickets, all.hits += t.hits, all.stake = plus(all.stake, t.stake);
        all.returns = plus(all.returns, t.returns);
        if (t.tickets) line(kindName(k + 1), t);
    }
    if (all.tickets == 0) out.push_back("馬券はまだありません");
    else line("合計", all);
}

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

}  // namespace

std::vector<std::string> reportLines(const History& history, int meeting) {
    std::vector<std::string> out;
    if (int skipped = history.skippedRows())
        out.push_back("記録のうち " + std::to_string(skipped) + " 行は壊れていて読めないので、除いてあります");
    out.push_back("今開催の成績（第" + std::to_string(meeting) + "開催）");
    std::vector<RaceRow> races = history.meeting(meeting);
    if (races.empty()) out.push_back("まだレースはありません");
    for (const RaceRow& r : races) {
        out.push_back(raceTitle(r) + (r.commandLine ? " 金額指定" : ""));
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
    out.push_back("券種別（今開催）");
    totalsLines(out, history.totals(meeting));
    out.push_back("");
    out.push_back("券種別（通算）");
    totalsLines(out, history.totals());
    out.push_back("");
    out.push_back("最高払い戻し");
    if (auto b = history.best())
        out.push_back(b->race.playedAt + " 第" + std::to_string(b->race.meeting) + "開催 " + raceTitle(b->race) + " " +
                      kindName(b->payout.kind) + " " + horsesSpoken(b->payout.horses) + " " + b->payout.multiplier +
                      "倍 " + yen(b->payout.amount));
    else
        out.push_back("まだありません");
    return out;
}

bool writeCsv(const History& history, const std::string& path) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    // The BOM tells spreadsheet programs that this is UTF-8; the horses are
    // written as the game says them, which no spreadsheet takes for a date.
    f << "\xEF\xBB\xBF日時,開催,レース,レース名,券種,馬番,金額,払い戻し,返還,金額指定\r\n";
    for (const RaceRow& r : history.allRaces())
        for (const TicketRow& t : r.tickets) {
            Money paid = 0, refunded = 0;
            for (const PayoutRow& p : r.payouts)
                if (p.kind == t.kind && p.horses == t.horses) (p.refund ? refunded : paid) = plus(p.refund ? refunded : paid, p.amount);
            f << csvField(r.playedAt) << ',' << r.meeting << ',' << r.raceNo << ',' << csvField(r.raceName) << ','
              << kindName(t.kind) << ',' << horsesSpoken(t.horses) << ',' << t.stake << ',' << paid << ','
              << refunded << ',' << (r.commandLine ? 1 : 0) << "\r\n";
        }
    f.flush();
    return static_cast<bool>(f);
}

}  // namespace ozn
