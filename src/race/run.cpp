#include "race/run.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "betting/store.h"
#include "core/datafiles.h"
#include "core/lifecycle.h"
#include "core/stopsignal.h"
#include "core/text.h"
#include "race/field.h"

namespace ozn {
namespace {

// Music shorter than this (or none) goes uncalled.
constexpr double kShortestCalledRace = 5;
// Between two looks at the music, a text or the pause when nobody ticks for us.
constexpr int kTickMs = 10;

void newMeeting(GameRecord& rec) {
    rec.racename.clear();
    rec.raceno = 0;
    rec.racehist.fill(0);
}

}  // namespace

RaceRun::RaceRun(GameRecord& rec, Ports& ports, RaceHooks hooks, RaceCall call)
    : rec_(rec), p_(ports), hooks_(std::move(hooks)), call_(std::move(call)) {}

RaceRun::~RaceRun() = default;

bool RaceRun::beforeSettlement() const { return stage_ != Stage::Idle && !settled_; }

const RaceWait& RaceRun::finish(HassoResult r) {
    stage_ = Stage::Over;
    wait_ = RaceWait{RaceWait::Kind::Done, "", "", 0, r};
    return wait_;
}

const RaceWait& RaceRun::ask(const std::string& prompt, const std::string& title, int style) {
    wait_ = RaceWait{RaceWait::Kind::Box, prompt, title, style, HassoResult::NextRace};
    return wait_;
}

void RaceRun::sayAndWait(const std::string& text, Stage then) {
    p_.speech.reading(text, SpeakMode::Wait);
    // The bound covers a speech server that never says it has finished.
    since_ = p_.clock.monotonicSeconds();
    length_ = 2.0 + 0.4 * static_cast<double>(text.size());
    after_ = then;
    stage_ = Stage::Hear;
}

bool RaceRun::heard() {
    return !p_.speech.speaking() || stopRequested() || p_.clock.monotonicSeconds() - since_ > length_;
}

const RaceWait& RaceRun::start() {
    p_.ui.clearPrint();
    stage_ = Stage::Fanfare;
    // The fanfare cannot be skipped; an Escape during it is for the start music.
    if (!p_.mp3.start(rec_.apppath + (rec_.fanfare == 1 ? "kanto.mp3" : "kansai.mp3"))) return advance();
    wait_ = RaceWait{};
    return wait_;
}

void RaceRun::escape() {
    if (stage_ == Stage::Music && caller_) p_.mp3.skip();
    else if (beforeSettlement()) escaped_ = true;
}

void RaceRun::beginMusic() {
    // Drawn before it is run, in the same order, so that it can be called as it runs.
    out_.fallen = drawFall(p_.rng, out_.scratched);
    drawFinish(rec_, p_.rng, out_);
    if (hooks_.underway) hooks_.underway();
    const std::string music = rec_.apppath + "hasso.mp3";
    // One running order for what is said and what is drawn.
    const RunningOrder order = runningOrder(rec_, out_);
    const double seconds = p_.mp3.length(music);
    std::vector<CommentaryCall> calls;
    if (call_.on && seconds >= kShortestCalledRace)
        calls = planCommentary(rec_, order, call_.course, seconds, call_.speechSpeed);
    if (hooks_.field) hooks_.field(RaceField(order, stageTimes(calls, seconds), seconds));
    caller_ = std::make_unique<CommentaryRunner>(std::move(calls), p_.speech, p_.mp3);
    p_.ui.effect(Effect::Gate);
    stage_ = Stage::Music;
    musicOver_ = !p_.mp3.start(music);
    if (escaped_ && !musicOver_) p_.mp3.skip();  // asked for before it began: ends as it begins
}

// Runs the race on from where it stands to the next thing it must wait for.
const RaceWait& RaceRun::advance() {
    for (;;) {
        switch (stage_) {
            case Stage::Idle:
            case Stage::Over: return wait_;
            case Stage::Fanfare:
                if (stopRequested()) p_.mp3.skip();
                if (p_.mp3.playing()) return wait_ = RaceWait{}, wait_;
                out_ = RaceOutcome{};
                out_.scratched = drawScratch(p_.rng);
                stage_ = Stage::Pause;
                since_ = -1;
                if (out_.scratched) sayAndWait(std::to_string(out_.scratched) + "番除外", Stage::Pause);
                continue;
            case Stage::Hear:
                if (!heard()) return wait_ = RaceWait{}, wait_;
                stage_ = after_;
                if (stage_ == Stage::Pause) since_ = -1;
                continue;
            case Stage::Pause: {
                // About a second, ending on the next whole second of the clock
                // plus one; measured on the monotonic clock so that midnight
                // cannot stretch it.
                const double mono = p_.clock.monotonicSeconds();
                if (since_ < 0) {
                    const double now = p_.clock.secondsOfDay();
                    length_ = std::nearbyint(now) + 1.0 - now;
                    since_ = mono;
                }
                if (mono - since_ < length_ && !stopRequested()) return wait_ = RaceWait{}, wait_;
                beginMusic();
                continue;
            }
            case Stage::Music: {
                if (!musicOver_) {
                    const double at = p_.mp3.position();
                    if (hooks_.raceClock) hooks_.raceClock(at);
                    const bool on = p_.mp3.playing() && !stopRequested();
                    if (!on && (p_.mp3.skipped() || stopRequested())) {
                        caller_->end(true);
                    } else {
                        // What is still being said over it is waited for past its end.
                        const bool more = caller_->tick(at);
                        if (on || more) return wait_ = RaceWait{}, wait_;
                        caller_->end(false);
                    }
                } else {
                    caller_->end(escaped_);
                }
                musicOver_ = true;
                if (hooks_.raceClock) hooks_.raceClock(std::numeric_limits<double>::infinity());
                stage_ = Stage::Result;
                if (out_.fallen) sayAndWait(std::to_string(out_.fallen) + "番落馬", Stage::Result);
                continue;
            }
            case Stage::Result: return ask(finishingOrderText(out_), "着順結果", kStyleNotice);
            case Stage::Money:
                if (hooks_.controlon) hooks_.controlon();
                if (rec_.raceno >= kRacesPerMeeting) {
                    stage_ = Stage::Meeting;
                    return ask("開催変わりしますか", "", kStyleYesNo);
                }
                nextCard();
                return finish(HassoResult::NextRace);
            case Stage::GameOver:
                deleteSaves(rec_);
                return finish(HassoResult::GameOver);
            case Stage::Meeting: return wait_;
        }
    }
}

const RaceWait& RaceRun::tick() {
    if (wait_.kind != RaceWait::Kind::Tick) return wait_;
    return advance();
}

void RaceRun::settleRace() {
    Settlement s = settle(rec_, out_);
    for (const PrintPiece& piece : s.prints) {
        if (piece.newline) p_.ui.printLine(piece.text);
        else p_.ui.print(piece.text);
    }
    const bool won = std::any_of(s.paid.begin(), s.paid.end(), [](const PaidTicket& t) { return !t.refund; });
    bool betting = false;
    for (int kind = 1; kind <= kAllKinds; ++kind) betting = betting || ticketCount(rec_, kind) > 0;
    if (rec_.mochikin < 100) p_.ui.effect(Effect::GameOver);
    else if (won || betting) p_.ui.effect(won ? Effect::Won : Effect::NoWin);
    settled_ = true;
    if (hooks_.settled) hooks_.settled(out_, s);
    // Saved with every race as it is kept in the history, so that a crash
    // never undoes a result; game over deletes the save below instead.
    // Money from the command line has no save file.
    if (rec_.mochikin >= 100 && !rec_.bakenpath.empty()) {
        const bool saved = saveMoney(rec_, p_.ui);
        if (hooks_.saved) hooks_.saved(saved);
    }

    if (rec_.mochikin < 100) {
        const std::string over = "持ち金が100円もなくなっちゃったので終了します";
        p_.ui.printLine(over);
        sayAndWait(s.announcement + over, Stage::GameOver);
        return;
    }
    const std::string change = moneyChangeLine(rec_.mochikin, rec_.mochikinmae);
    const std::string rest = "残り持ち金は" + text::signedNumber(rec_.mochikin) + "円です";
    p_.ui.printLine(change);
    p_.ui.printLine(rest);
    sayAndWait(s.announcement + change + rest, Stage::Money);
}

void RaceRun::nextCard() {
    ++rec_.raceno;
    hunsucria(rec_);
    CardLists lists = readlist(rec_, p_.rng, static_cast<bool>(hooks_.showCard));
    if (hooks_.showCard) hooks_.showCard(std::move(lists));
}

const RaceWait& RaceRun::answered(Answer a) {
    if (wait_.kind != RaceWait::Kind::Box) return wait_;
    wait_ = RaceWait{};
    if (stage_ == Stage::Result) {
        settleRace();
        return advance();
    }
    if (stage_ == Stage::Meeting) {
        if (a != Answer::Yes) {
            switch (endshori(rec_, p_.ui, p_.mp3)) {
                case EndResult::GameOver: return finish(HassoResult::GameOver);
                case EndResult::WriteFailed: return finish(HassoResult::WriteFailed);
                case EndResult::Close: break;
            }
            if (hooks_.closeWindow && hooks_.closeWindow()) return finish(HassoResult::Ended);
            // The player stayed after all: a new meeting, with music again.
            p_.mp3.init();
        }
        newMeeting(rec_);
        nextCard();
        return finish(HassoResult::NextRace);
    }
    return wait_;
}

HassoResult hasso(GameRecord& rec, Ports& ports, const RaceHooks& hooks, const RaceCall& call) {
    RaceRun run(rec, ports, hooks, call);
    const RaceWait* w = &run.start();
    for (;;) {
        switch (w->kind) {
            case RaceWait::Kind::Done: return w->result;
            case RaceWait::Kind::Box: w = &run.answered(ports.ui.msgBox(w->prompt, w->title, w->style)); break;
            case RaceWait::Kind::Tick:
                ports.clock.sleepMs(kTickMs);
                w = &run.tick();
                break;
        }
    }
}

}  // namespace ozn
