#include <algorithm>
#include <cmath>

#include "betting/betting.h"
#include "betting/store.h"
#include "core/brackets.h"
#include "core/text.h"
#include "race/race.h"
#include "racecard/rules.h"

namespace ozn {
namespace {

class Settler {
public:
    Settler(GameRecord& rec, const RaceOutcome& out) : rec_(rec), out_(out) {}

    Settlement run() {
        win();
        place();
        quinella();
        wide();
        trio();
        trifecta();
        if (rec_.honkaku) exacta(), bracketQuinella();
        tellCap();
        return std::move(result_);
    }

private:
    double T(int rank) const { return rec_.tanodds[rank - 1]; }
    double F(int rank) const { return rec_.fukuodds[rank - 1]; }
    int rankOf(int horse) const { return rec_.ninki[horse - 1]; }

    void credit(int kind, Horses horses, Money stake, double multiplier, const std::string& printed, bool refund) {
        const Money before = rec_.mochikin;
        const checked::Paid paid = checked::pay(rec_.mochikin, stake, multiplier);
        rec_.mochikin = paid.money;
        capped_ = capped_ || paid.capped;
        result_.paid.push_back({kind, horses, printed, rec_.mochikin - before, refund});
    }
    void pay(int kind, Horses horses, Money stake, double multiplier, const std::string& printed) {
        credit(kind, horses, stake, multiplier, printed, false);
    }
    void refund(int kind, Horses horses, Money stake) { credit(kind, horses, stake, 1.0, "", true); }

    // The player hears why a payout brought less than its odds.
    void tellCap() {
        if (!capped_) return;
        const std::string l = "持ち金は上限の" + text::plainNumber(kMoneyLimit) + "円までです";
        line(l);
        result_.announcement += "\r\n" + l + "\r\n";
    }

    // Refunds every ticket of the kind that names the scratched horse; a
    // 枠連 ticket only when a bracket it names has no runner left.
    void refundScratched(int kind) {
        if (!out_.scratched) return;
        for (int i = 0; i < ticketCount(rec_, kind); ++i) {
            Horses h = ticketHorses(rec_, kind, i);
            const bool out = kind == kBracketQuinella
                                 ? bracketScratched(h[0], {out_.scratched}) || bracketScratched(h[1], {out_.scratched})
                                 : std::find(h.begin(), h.end(), out_.scratched) != h.end();
            if (out) refund(kind, h, ticketStake(rec_, kind, i));
        }
    }

    // 本格ルール: one line per paid ticket, "馬単 7番15番 3,460円", paid at the
    // yen per 100 of realPayout. true when it was paid this way.
    bool real(int kind, const Horses& h, Money stake, double multiplier) {
        if (!rec_.honkaku) return false;
        const Money per100 = realPayout(multiplier);
        credit(kind, h, stake / 100, static_cast<double>(per100), text::tenthsText(per100 / 10), false);
        const std::string l = kindName(kind) + " " + selectionHorses(kind, h) + " " + yenText(per100) + "円";
        line(l);
        result_.announcement += l + "\r\n";
        return true;
    }

    void line(const std::string& text) { result_.prints.push_back({text, true}); }
    void stay(const std::string& text) { result_.prints.push_back({text, false}); }

    static std::string fixed(const std::string& t) { return text::oneDecimal(t); }

    void win() {
        for (int i = 0; i < rec_.tancount; ++i) {
            int h = rec_.tanban[i];
            if (h == out_.first && !real(1, {h, 0, 0}, rec_.tankin[i], T(out_.p1))) {
                pay(1, {h, 0, 0}, rec_.tankin[i], T(out_.p1), rec_.tanoddsstr[out_.p1 - 1]);
                std::string l = "単勝 " + text::signedNumber(h) + "番" + rec_.tanoddsstr[out_.p1 - 1] + "倍";
                line(l);
                result_.announcement += l + "\r\n";
            }
            if (h == out_.scratched) refund(1, {h, 0, 0}, rec_.tankin[i]);
        }
    }

    // Place and wide lines after the first are indented under it.
    void indentedLine(bool& firstLine, const std::string& label, const std::string& l) {
        std::string prefix = firstLine ? label : "  ";
        firstLine = false;
        stay(prefix);
        line(l);
        result_.announcement += prefix + l;
    }

    void place() {
        refundScratched(2);
        bool firstLine = true;
        struct Finish {
            int horse;
            const std::array<double, kHorses>& odds;
            const std::array<std::string, kHorses>& text;
            int rank;
        };
        const Finish finishes[] = {{out_.first, rec_.fukuodds1, rec_.fukuodds1str, out_.p1},
                                   {out_.second, rec_.fukuodds2, rec_.fukuodds2str, out_.p2},
                                   {out_.third, rec_.fukuodds, rec_.fukuoddsstr, out_.p3}};
        for (const Finish& f : finishes)
            for (int i = 0; i < rec_.fukucount; ++i)
                if (rec_.fukuban[i] == f.horse && !real(2, {f.horse, 0, 0}, rec_.fukukin[i], f.odds[f.rank - 1])) {
                    pay(2, {f.horse, 0, 0}, rec_.fukukin[i], f.odds[f.rank - 1], f.text[f.rank - 1]);
                    indentedLine(firstLine, "副賞 ",
                                 text::signedNumber(f.horse) + "番" + f.text[f.rank - 1] + "倍");
                }
    }

    void quinella() {
        refundScratched(3);
        int a = std::min(out_.first, out_.second), b = std::max(out_.first, out_.second);
        int lo = std::min(out_.p1, out_.p2), hi = std::max(out_.p1, out_.p2);
        std::string mult = text::formatOdds(F(hi) * T(lo), 1);
        for (int i = 0; i < rec_.umacount; ++i)
            if (rec_.umaban1[i] == a && rec_.umaban2[i] == b) {
                if (real(3, {a, b, 0}, rec_.umakin[i], text::leadingNumber(mult))) break;
                pay(3, {a, b, 0}, rec_.umakin[i], text::leadingNumber(mult), fixed(mult));
                std::string l = "馬連 " + text::signedNumber(a) + "番" + text::signedNumber(b) + "番" + fixed(mult) + "倍";
                line(l);
                result_.announcement += "\r\n" + l + "\r\n";
                break;
            }
    }

    void wide() {
        refundScratched(4);
        bool firstLine = true;
        const std::pair<int, int> pairs[] = {
            {out_.first, out_.second}, {out_.first, out_.third}, {out_.second, out_.third}};
        for (auto [x, y] : pairs) {
            int a = std::min(x, y), b = std::max(x, y);
            int lo = std::min(rankOf(x), rankOf(y)), hi = std::max(rankOf(x), rankOf(y));
            static constexpr double kFactor[] = {0.4, 0.5, 0.6, 0.7, 0.8, 0.9};
            double f = kFactor[(hi - 1) / 3];
            std::string mult = text::formatOdds((F(hi) * T(lo)) * f, 1);  // printed without the ".0" fix
            for (int i = 0; i < rec_.widecount; ++i)
                if (rec_.wideban1[i] == a && rec_.wideban2[i] == b &&
                    !real(4, {a, b, 0}, rec_.widekin[i], text::leadingNumber(mult))) {
                    pay(4, {a, b, 0}, rec_.widekin[i], text::leadingNumber(mult), mult);
                    indentedLine(firstLine, "ワイド ",
                                 text::signedNumber(a) + "番" + text::signedNumber(b) + "番" + mult + "倍");
                }
        }
    }

    std::string threeHorses(int a, int b, int c) const {
        return std::to_string(a) + "番" + std::to_string(b) + "番" + std::to_string(c) + "番 ";
    }

    void trio() {
        refundScratched(5);
        std::array<std::pair<int, int>, 3> f = {
            {{out_.first, out_.p1}, {out_.second, out_.p2}, {out_.third, out_.p3}}};
        std::sort(f.begin(), f.end());
        // The win factor goes to the lowest horse number, not the favourite.
        std::string mult = text::formatOdds((T(f[0].second) * F(f[1].second)) * F(f[2].second), 1);
        for (int i = 0; i < rec_.sanrenpukucount; ++i)
            if (rec_.sanrenpukuban1[i] == f[0].first && rec_.sanrenpukuban2[i] == f[1].first &&
                rec_.sanrenpukuban3[i] == f[2].first) {
                if (real(5, {f[0].first, f[1].first, f[2].first}, rec_.sanrenpukukin[i], text::leadingNumber(mult))) break;
                pay(5, {f[0].first, f[1].first, f[2].first}, rec_.sanrenpukukin[i], text::leadingNumber(mult),
                    fixed(mult));
                std::string l = "３連副 " + threeHorses(f[0].first, f[1].first, f[2].first) + fixed(mult) + "倍";
                line(l);
                result_.announcement += "\r\n" + l + "\r\n";
                break;
            }
    }

    void trifecta() {
        refundScratched(6);
        std::string mult = text::formatOdds(((T(out_.p1) * F(out_.p2)) * F(out_.p3)) * 1.5, 1);
        for (int i = 0; i < rec_.sanrentancount; ++i)
            if (rec_.sanrentanban1[i] == out_.first && rec_.sanrentanban2[i] == out_.second &&
                rec_.sanrentanban3[i] == out_.third) {
                if (real(6, {out_.first, out_.second, out_.third}, rec_.sanrentankin[i], text::leadingNumber(mult))) break;
                pay(6, {out_.first, out_.second, out_.third}, rec_.sanrentankin[i], text::leadingNumber(mult),
                    fixed(mult));
                std::string l = "３連探 " + threeHorses(out_.first, out_.second, out_.third) + fixed(mult) + "倍";
                line(l);
                result_.announcement += l;
                break;
            }
    }

    // 馬単 and 枠連 pay what the card shows for the first two.
    void exacta() {
        refundScratched(kExacta);
        const double mult = static_cast<double>(exactaTenths(rec_, out_.first, out_.second)) / 10.0;
        for (int i = 0; i < rec_.umatancount; ++i)
            if (rec_.umatanban1[i] == out_.first && rec_.umatanban2[i] == out_.second)
                real(kExacta, {out_.first, out_.second, 0}, rec_.umatankin[i], mult);
    }

    void bracketQuinella() {
        refundScratched(kBracketQuinella);
        const int i = std::min(bracketOf(out_.first), bracketOf(out_.second));
        const int j = std::max(bracketOf(out_.first), bracketOf(out_.second));
        const double mult = static_cast<double>(bracketTenths(rec_, i, j)) / 10.0;
        for (int t = 0; t < rec_.wakucount; ++t)
            if (rec_.wakuban1[t] == i && rec_.wakuban2[t] == j) real(kBracketQuinella, {i, j, 0}, rec_.wakukin[t], mult);
    }

    GameRecord& rec_;
    const RaceOutcome& out_;
    Settlement result_;
    bool capped_ = false;
};

}  // namespace

Settlement settle(GameRecord& rec, const RaceOutcome& out) { return Settler(rec, out).run(); }

Money realPayout(double multiplier) {
    // To the tenth of a yen first, so that 2.3 is 230 and not 229.99...
    const long long tenthsOfYen = std::llround(multiplier * 1000.0);
    return std::max<Money>(100, tenthsOfYen / 100 * 10);
}

bool bracketScratched(int bracket, const std::vector<int>& scratched) {
    for (int h = bracketHorses(bracket).first; h <= bracketHorses(bracket).second; ++h)
        if (std::find(scratched.begin(), scratched.end(), h) == scratched.end()) return false;
    return true;
}

std::string yenText(Money yen) {
    std::string digits = std::to_string(yen < 0 ? -yen : yen), out;
    for (std::size_t k = 0; k < digits.size(); ++k) {
        if (k && (digits.size() - k) % 3 == 0) out += ',';
        out += digits[k];
    }
    return (yen < 0 ? "-" : "") + out;
}

std::string moneyChangeLine(Money now, Money before) {
    if (now == before) return "金額は変わりません";
    if (now > before) return text::signedNumber(now - before) + "円増えました";
    return text::signedNumber(before - now) + "円減りました";
}

}  // namespace ozn
