#include <algorithm>
#include <cmath>

#include "betting/store.h"
#include "core/datafiles.h"
#include "core/lifecycle.h"
#include "core/stopsignal.h"
#include "core/text.h"
#include "race/commentary.h"
#include "race/race.h"

namespace ozn {
namespace {

// About a second, ending on the next whole second of the clock plus one.
// Measured on the monotonic clock so that midnight cannot stretch it.
void pause(Ports& p) {
    double now = p.clock.secondsOfDay();
    double wait = std::nearbyint(now) + 1.0 - now;
    double start = p.clock.monotonicSeconds();
    while (p.clock.monotonicSeconds() - start < wait && !stopRequested()) {
        p.ui.processEvents();
        p.clock.sleepMs(10);
    }
}

// Music shorter than this (or none) goes uncalled.
constexpr double kShortestCalledRace = 5;

void newMeeting(GameRecord& rec) {
    rec.racename.clear();
    rec.raceno = 0;
    rec.racehist.fill(0);
}

}  // namespace

HassoResult hasso(GameRecord& rec, Ports& p, const RaceHooks& hooks, const RaceCall& call) {
    p.ui.clearPrint();
    p.mp3.playAndWait(rec.apppath + (rec.fanfare == 1 ? "kanto.mp3" : "kansai.mp3"), false, p.ui);

    RaceOutcome out;
    out.scratched = drawScratch(p.rng);
    if (out.scratched) p.speech.reading(std::to_string(out.scratched) + "番除外", SpeakMode::Wait);
    pause(p);
    // Drawn before it is run, in the same order, so that it can be called as it runs.
    out.fallen = drawFall(p.rng, p.ui, out.scratched);
    drawFinish(rec, p.rng, p.ui, out);

    if (hooks.underway) hooks.underway();
    const std::string music = rec.apppath + "hasso.mp3";
    std::vector<CommentaryCall> calls;
    if (call.on) {
        const double seconds = p.mp3.length(music);
        if (seconds >= kShortestCalledRace) calls = planCommentary(rec, out, call.course, seconds, call.speechSpeed);
    }
    CommentaryRunner caller(std::move(calls), p.speech, p.mp3);
    p.ui.effect(Effect::Gate);
    caller.end(!p.mp3.playAndWait(music, true, p.ui, [&caller](double seconds) { return caller.tick(seconds); }));
    if (out.fallen) p.speech.reading(std::to_string(out.fallen) + "番落馬", SpeakMode::Wait);
    p.ui.msgBox(finishingOrderText(out), "着順結果", kStyleNotice);

    Settlement s = settle(rec, out);
    for (const PrintPiece& piece : s.prints) {
        if (piece.newline) p.ui.printLine(piece.text);
        else p.ui.print(piece.text);
    }
    const bool won = std::any_of(s.paid.begin(), s.paid.end(), [](const PaidTicket& t) { return !t.refund; });
    bool betting = false;
    for (int kind = 1; kind <= kKinds; ++kind) betting = betting || ticketCount(rec, kind) > 0;
    if (rec.mochikin < 100) p.ui.effect(Effect::GameOver);
    else if (won || betting) p.ui.effect(won ? Effect::Won : Effect::NoWin);
    if (hooks.settled) hooks.settled(out, s);
    // Saved with every race as it is kept in the history, so that a crash
    // never undoes a result; game over deletes the save below instead.
    if (rec.mochikin >= 100) saveMoney(rec, p.ui);

    if (rec.mochikin < 100) {
        const std::string over = "持ち金が100円もなくなっちゃったので終了します";
        p.ui.printLine(over);
        p.speech.reading(s.announcement + over, SpeakMode::Wait);
        deleteSaves(rec);
        return HassoResult::GameOver;
    }

    std::string change = moneyChangeLine(rec.mochikin, rec.mochikinmae);
    std::string rest = "残り持ち金は" + text::signedNumber(rec.mochikin) + "円です";
    p.ui.printLine(change);
    p.ui.printLine(rest);
    p.speech.reading(s.announcement + change + rest, SpeakMode::Wait);

    if (hooks.controlon) hooks.controlon();

    if (rec.raceno >= kRacesPerMeeting) {
        if (p.ui.msgBox("開催変わりしますか", "", kStyleYesNo) != Answer::Yes) {
            switch (endshori(rec, p.ui, p.mp3)) {
                case EndResult::GameOver: return HassoResult::GameOver;
                case EndResult::WriteFailed: return HassoResult::WriteFailed;
                case EndResult::Close: break;
            }
            if (hooks.closeWindow && hooks.closeWindow()) return HassoResult::Ended;
            // The player stayed after all: a new meeting, with music again.
            p.mp3.init();
        }
        newMeeting(rec);
    }

    ++rec.raceno;
    hunsucria(rec);
    CardLists lists = readlist(rec, p.rng, p.ui);
    if (hooks.showCard) hooks.showCard(std::move(lists));
    return HassoResult::NextRace;
}

}  // namespace ozn
