// The statistics a bettor studies, aggregated by the database.
#include <algorithm>

#include "betting/betting.h"
#include "history/history.h"
#include "history/sql.h"

namespace ozn {
namespace {

using sql::Statement;
using sql::bindPeriod;
using sql::periodClause;

// Every ticket of the period with what came back for it. A ticket is unique
// per race, kind and horses (equal ones were merged when bought).
std::string ticketsOf(Period p) {
    return std::string(
               "WITH pay AS (SELECT race_id, kind, horses, TOTAL(CASE WHEN refund = 0 THEN amount END) AS paid, "
               "    MAX(refund = 0) AS hit, MAX(refund = 1) AS refunded FROM ok_payouts GROUP BY race_id, kind, horses), "
               "cnt AS (SELECT race_id, count(*) AS n FROM ok_tickets GROUP BY race_id), "
               "t AS (SELECT x.race_id, x.kind, x.stake, r.course, c.n AS in_race, ") +
           sql::kShownOdds +
           ", COALESCE(p.paid, 0) AS paid, COALESCE(p.hit, 0) AS hit, COALESCE(p.refunded, 0) AS refunded "
           "  FROM ok_tickets x JOIN races r ON r.id = x.race_id JOIN cnt c ON c.race_id = x.race_id "
           "  LEFT JOIN pay p ON p.race_id = x.race_id AND p.kind = x.kind AND p.horses = x.horses WHERE " +
           periodClause(p) + ") ";
}

// The group of a ticket in each breakdown, as a sort key; unknown last.
const char* groupOf(Breakdown by) {
    switch (by) {
        case Breakdown::Kind: return "kind";
        case Breakdown::Popularity:
            return "CASE WHEN popularity IS NULL THEN 9 WHEN popularity <= 3 THEN 1 WHEN popularity <= 6 THEN 2 "
                   "WHEN popularity <= 10 THEN 3 ELSE 4 END";
        case Breakdown::Odds:
            return "CASE WHEN odds IS NULL THEN 9 WHEN odds < 5 THEN 1 WHEN odds < 20 THEN 2 WHEN odds < 100 THEN 3 "
                   "ELSE 4 END";
        case Breakdown::Course:  // dirt first, then turf by distance
            return "CASE WHEN course = '' THEN 99999 WHEN course = 'ダート' THEN 0 "
                   "ELSE CAST(substr(course, 2) AS INTEGER) END";
        case Breakdown::TicketCount:
            return "CASE WHEN in_race = 1 THEN 1 WHEN in_race <= 5 THEN 2 WHEN in_race <= 20 THEN 3 ELSE 4 END";
    }
    return "0";
}

std::string labelOf(Breakdown by, long long group, const std::string& course) {
    static const char* const kPopularity[] = {"1〜3番人気", "4〜6番人気", "7〜10番人気", "11番人気以下"};
    static const char* const kOdds[] = {"5倍未満", "5〜20倍未満", "20〜100倍未満", "100倍以上"};
    static const char* const kCount[] = {"1枚のレース", "2〜5枚のレース", "6〜20枚のレース", "21枚以上のレース"};
    const bool banded = group >= 1 && group <= 4;
    switch (by) {
        case Breakdown::Kind: return kindName(static_cast<int>(group));
        case Breakdown::Popularity: return banded ? kPopularity[group - 1] : "不明";
        case Breakdown::Odds: return banded ? kOdds[group - 1] : "不明";
        case Breakdown::Course: return course.empty() ? "不明" : course;
        case Breakdown::TicketCount: return banded ? kCount[group - 1] : "";
    }
    return "";
}

Money money(double total) { return static_cast<Money>(std::clamp(total, 0.0, 9.0e18)); }

}  // namespace

std::string periodName(Period p) {
    static const char* const kNames[] = {"今開催", "今日", "7日", "30日", "通算"};
    return kNames[static_cast<int>(p)];
}

std::string breakdownName(Breakdown b) {
    static const char* const kNames[] = {"券種別", "人気別", "オッズ別", "コース別", "点数別"};
    return kNames[static_cast<int>(b)];
}

std::vector<StatsRow> History::breakdown(Breakdown by, const PeriodFilter& period) const {
    Statement s(checked(), ticketsOf(period.period) + "SELECT " + groupOf(by) +
                               " AS grp, MIN(course), SUM(NOT refunded), SUM(hit AND NOT refunded), "
                               "TOTAL(CASE WHEN refunded THEN 0 ELSE stake END), TOTAL(CASE WHEN refunded THEN 0 ELSE paid END), "
                               "MAX(CASE WHEN refunded THEN 0 ELSE paid END), SUM(refunded), "
                               "TOTAL(CASE WHEN refunded THEN stake ELSE 0 END) FROM t GROUP BY grp ORDER BY grp");
    bindPeriod(s, period);
    std::vector<StatsRow> rows;
    while (s.step()) {
        StatsRow r;
        r.label = labelOf(by, s.integer(0), s.text(1));
        r.tickets = static_cast<int>(s.integer(2));
        r.hits = static_cast<int>(s.integer(3));
        r.stake = money(s.real(4));
        r.payouts = money(s.real(5));
        r.best = money(s.real(6));
        r.refunds = static_cast<int>(s.integer(7));
        r.refunded = money(s.real(8));
        rows.push_back(std::move(r));
    }
    return rows;
}

std::vector<MoneyPoint> History::moneyByRace(const PeriodFilter& period) const {
    Statement s(checked(), ticketsOf(period.period) +
                               ", s AS (SELECT race_id, TOTAL(CASE WHEN refunded THEN 0 ELSE stake END) AS stake, "
                               "    TOTAL(CASE WHEN refunded THEN 0 ELSE paid END) AS paid FROM t GROUP BY race_id) "
                               "SELECT r.played_at, r.money_before, r.money_after, COALESCE(s.stake, 0), "
                               "COALESCE(s.paid, 0) FROM ok_races r LEFT JOIN s ON s.race_id = r.id "
                               "WHERE r.command_line = 0 AND " +
                               periodClause(period.period) + " ORDER BY r.id");
    bindPeriod(s, period);
    std::vector<MoneyPoint> points;
    while (s.step()) points.push_back({s.text(0), s.integer(1), s.integer(2), money(s.real(3)), money(s.real(4))});
    return points;
}

}  // namespace ozn
