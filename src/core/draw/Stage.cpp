#include "core/draw/Stage.h"

#include <algorithm>

#include "core/draw/DrawTexts.h"
#include "core/draw/MoveRecords.h"
#include "core/draw/StageText.h"
#include "core/draw/StageView.h"
#include "core/records/ResultsHistory.h"
#include "core/text/Gbk.h"

using stageview::RevealedPlaces;
using text::G;

class TStage::Telling {
 public:
  // The outermost input clears the operator's note of the one before.
  explicit Telling(TStage& s) : m_s(s) {
    if (m_s.m_inputs++ == 0) m_s.m_note.clear();
  }
  ~Telling() {
    if (--m_s.m_inputs == 0) m_s.TellMoved();
  }
  Telling(const Telling&) = delete;
  Telling& operator=(const Telling&) = delete;
  // The frame the input answers; the outermost input's messages are in sight from now on.
  TStageFrame operator()(TStageFrame f) {
    if (m_s.m_inputs == 1)
      m_s.m_told.insert(m_s.m_told.end(), f.messages.begin(), f.messages.end());
    return f;
  }

 private:
  TStage& m_s;
};

TStageFrame TStage::Open() {
  Telling t(*this);
  TStageFrame f = OnOpen();
  // The screen shows the task's hint from the first question of the opening on.
  if (!f.hint) f.hint = stageview::HintText(m_e);
  return t(std::move(f));
}
TStageFrame TStage::Enter() {
  Telling t(*this);
  return t(OnEnter());
}
TStageFrame TStage::Start() {
  Telling t(*this);
  return t(OnStart());
}
TStageFrame TStage::Key(TStageKey key, int digit) {
  Telling t(*this);
  return t(OnKey(key, digit));
}
TStageFrame TStage::Follow() {
  Telling t(*this);
  return t(OnFollow());
}
TStageFrame TStage::CardClicked(int card) {
  Telling t(*this);
  return t(OnCardClicked(card));
}
TStageFrame TStage::Answer(TStageAnswer a) {
  Telling t(*this);
  return t(OnAnswer(a));
}
TStageFrame TStage::Leave() {
  Telling t(*this);
  return t(OnLeave());
}
TStageFrame TStage::Change(const TStageChange& change) {
  Telling t(*this);
  if (const auto* plan = std::get_if<TPlanChange>(&change)) return t(OnChangePlan(*plan));
  return t(OnVoid(std::get<TVoidRequest>(change)));
}

TStageFrame TStage::Blank(bool on) {
  Telling t(*this);
  return t(OnBlank(on));
}

TStageFrame TStage::Time(TStageTimer timer) {
  // A roll's tick changes nothing a remote sees: it is not told.
  if (timer == TStageTimer::Roll) return RollTick();
  Telling t(*this);
  switch (timer) {
    case TStageTimer::Select:
      return t(Select());
    case TStageTimer::Landing:
      return t(LandingOver());
    case TStageTimer::Summary:
      return t(SummaryTime());
    case TStageTimer::Roll:
      break;
  }
  return {};
}

TStageFrame TStage::Press(TStageInput input, int index) {
  Telling t(*this);
  if (!Allowed(input)) return {};
  TStageFrame f;
  switch (input) {
    case TStageInput::Start:
      return t(OnStart());
    case TStageInput::Stop:
      return t(OnEnter());
    case TStageInput::MarkAbsent:
    case TStageInput::CancelChoice:
      return t(OnKey(TStageKey::Q, 0));
    case TStageInput::Choose:
      // A tap on a winner stands for a click on that card.
      return t(OnCardClicked(index));
    case TStageInput::Leave:
      return t(OnLeave());
    case TStageInput::Blank:
      return t(OnBlank(true));
    case TStageInput::Unblank:
      return t(OnBlank(false));
    case TStageInput::Yes:
    case TStageInput::Ok:
      f.reply = TStageAnswer::Yes;
      break;
    case TStageInput::No:
      f.reply = TStageAnswer::No;
      break;
  }
  f.taken = true;
  return f;
}

void TStage::Acknowledge() {
  Telling t(*this);
  if (!m_told.empty()) m_told.pop_front();
}

std::optional<TStageMessage> TStage::Message() const {
  if (m_told.empty()) return std::nullopt;
  return m_told.front();
}

void TStage::TellMoved() const {
  const std::vector<TStageObserver*>& watchers = m_e.Session().Watchers();
  if (watchers.empty()) return;
  const TStageState state = State();
  for (TStageObserver* o : watchers) o->Moved(state);
}

namespace {

// The reveal is in sight from the reveal on; before it (a roll, its landing, a
// replacement rolling) the winners are the hall's surprise still.
bool RevealInSight(TStagePhase p) {
  return p == TStagePhase::Revealed || p == TStagePhase::Choosing || p == TStagePhase::Finished ||
         p == TStagePhase::Summary;
}

}  // namespace

TStageState TStage::State() const {
  TStageState s;
  const TDrawSession& session = m_e.Session();
  s.phase = Phase();
  s.open = s.phase != TStagePhase::Closed;
  s.taskId = session.Task.TaskId;
  // The title the hall sees, as the phones' pages name the task.
  s.task = session.Task.MainTitle.empty() ? session.Task.TaskName : session.Task.MainTitle;
  s.asking = m_asking;
  // The messages come first, then the question, as the screen shows them.
  if (!m_told.empty()) {
    s.prompt = StagePunctuation(m_told.front().text);
  } else if (m_asking != TStageQuestion::None) {
    s.prompt = StagePunctuation(m_question);
    s.promptAsks = true;
  }
  s.finished = EveryItemDrawn();
  s.grand = m_grand;
  s.mayMarkAbsent = m_e.MayMarkAbsent();
  s.mayChange = MayChange();
  s.blanked = m_blanked;
  s.note = m_note;
  if (m_prizeShown >= 0 && static_cast<size_t>(m_prizeShown) < session.Items.size())
    s.itemId = session.Items[static_cast<size_t>(m_prizeShown)].ItemId;
  const int32_t item = m_e.CurItemIndex();
  if (!s.finished && item >= 0 && static_cast<size_t>(item) < session.Items.size()) {
    s.prize = stageview::PrizeText(m_e, item);
    const TLuckItem& it = session.Items[static_cast<size_t>(item)];
    s.left = std::max(0, it.LuckCount - it.DrawnCount);
  }
  // A reveal the window has not shown yet is not the hall's yet either.
  if (!RevealInSight(s.phase) || m_untold) return s;
  const std::vector<size_t> places = RevealedPlaces(m_e);
  const TStageReveal reveal = stageview::RevealOf(m_e, places);
  s.lines = reveal.lines;
  for (const TStageCardText& c : reveal.cards) s.cards.push_back({c.id, c.name, c.rest, {}});
  if (s.phase == TStagePhase::Choosing)
    for (size_t i = 0; i < places.size(); ++i)
      if (places[i] == m_choice) s.chosen = static_cast<int>(i);
  return s;
}

TStagePhase TStage::Phase() const {
  if (m_phase != kStanding) return m_phase;
  // A batch or a replacement under way is the engine's to know.
  if (m_e.Picking()) return TStagePhase::Selecting;
  if (m_e.RollRuns()) return m_e.ReplacementRuns() ? TStagePhase::Replacing : TStagePhase::Rolling;
  return Standing();
}

bool TStage::EveryItemDrawn() const {
  const size_t items = m_e.Session().Items.size();
  return items > 0 && m_e.CurItemIndex() >= static_cast<int32_t>(items);
}

void TStage::Status(TStageFrame& f, const std::string& text) { f.status = StagePunctuation(text); }

TStageReveal TStage::RevealNow() const { return stageview::RevealOf(m_e, RevealedPlaces(m_e)); }

TStagePhase TStage::Standing() const {
  if (EveryItemDrawn()) return TStagePhase::Finished;
  if (m_e.CurItemIndex() > 0 || !m_e.Session().Winners.empty()) return TStagePhase::Revealed;
  return TStagePhase::Ready;
}

bool TStage::SetUp(int32_t taskId, TDrawFailure& failure) {
  m_phase = TStagePhase::Opening;
  return m_e.SetUp(taskId, failure);
}

TStageFrame TStage::OnOpen() {
  m_phase = TStagePhase::Opening;
  TStageFrame f;
  std::string error;
  TDataDraw::BatchEnd end;
  switch (m_e.Pending().kind) {
    case TPendingKind::Resumable:
      // Esc decides nothing: the screen closes and the draw stays as it is; only an
      // explicit No starts anew.
      return Question(std::move(f), TStageQuestion::Resume,
                      drawtext::ResumeQuestion(m_e.Pending().Winners()), TStageAnswer::Yes,
                      TStageAnswer::Closed);
    case TPendingKind::Complete:
      // Every batch was drawn: only the winner files were missing. Nothing to ask.
      if (m_e.Resume(end, error)) return Resumed(end, std::move(f));
      f.messages.push_back({MessageKind::Attention, error});
      break;
    case TPendingKind::Mismatch:
      f.messages.push_back({MessageKind::Attention, drawtext::PendingMismatch()});
      break;
    case TPendingKind::Damaged:
      f.messages.push_back({MessageKind::Attention, drawtext::PendingDamaged()});
      break;
    case TPendingKind::None:
      break;
  }
  return Fresh(std::move(f));
}

TStageFrame TStage::Fresh(TStageFrame f) {
  std::string error;
  if (!m_e.SetAsidePending(error)) {
    f.messages.push_back({MessageKind::Error, error});
    return Close(std::move(f));
  }
  // No is the default: a habitual Enter must not start over a task that was drawn.
  if (HasWinnerFiles(m_e.Session().Task.TaskId))  // a new draw moves them to the history
    return Question(std::move(f), TStageQuestion::Results, drawtext::ResultsQuestion(),
                    TStageAnswer::No);
  return Ready(std::move(f));
}

TStageFrame TStage::Ready(TStageFrame f) {
  // The commitment is on disk before it is on the screen. Should that fail, the first
  // batch writes it together with its own record.
  std::string error;
  if (!m_e.StartJournal(error)) f.messages.push_back({MessageKind::Error, error});
  TellNotes(f);
  m_phase = kStanding;
  m_grand = false;
  m_named = false;
  m_shownAt = m_clock();
  f.step = TStageStep::Opens;
  f.taken = true;
  Status(f, drawtext::Ready(m_e.Session().Items));
  f.proof = stageview::ProofText(m_e);
  f.band = stageview::BandOf(m_e, 0);
  SphereNow(f);
  f.audience = stageview::AudienceText(m_e.AudienceNumber());
  f.prizeChanged = true;
  f.prizeItem = 0;
  f.prize = StagePunctuation(stageview::PrizeText(m_e, 0));
  m_prizeShown = 0;
  return f;
}

void TStage::TellNotes(TStageFrame& f) const {
  // What the rules leave short is told before the first batch, once.
  std::string notes;
  for (const std::string& n : m_e.RulesNotes()) notes += (notes.empty() ? "" : "\n") + n;
  if (!notes.empty()) f.messages.push_back({MessageKind::Attention, notes});
}

TStageFrame TStage::Close(TStageFrame f) {
  m_phase = TStagePhase::Closed;
  m_asking = TStageQuestion::None;
  f.step = TStageStep::Closes;
  f.taken = true;
  return f;
}

TStageFrame TStage::Question(TStageFrame f, TStageQuestion q, std::string text,
                             TStageAnswer preferred, TStageAnswer escape) {
  m_asking = q;
  m_question = text;
  f.step = TStageStep::Asks;
  f.taken = true;
  f.asks = q;
  f.question = std::move(text);
  f.preferred = preferred;
  f.escape = escape;
  return f;
}

TStageFrame TStage::OnAnswer(TStageAnswer a) {
  TellUntold();
  const TStageQuestion q = m_asking;
  m_asking = TStageQuestion::None;
  switch (q) {
    case TStageQuestion::Resume: {
      if (a == TStageAnswer::Closed) return Close({});  // nothing decided: nothing moves
      TStageFrame f;
      if (a == TStageAnswer::No) return Fresh(std::move(f));
      std::string error;
      TDataDraw::BatchEnd end;
      if (m_e.Resume(end, error)) return Resumed(end, std::move(f));
      f.messages.push_back({MessageKind::Attention, error});
      return Fresh(std::move(f));
    }
    case TStageQuestion::Results:
      return a == TStageAnswer::Yes ? Ready({}) : Close({});
    case TStageQuestion::Absent:
      return a == TStageAnswer::Yes ? ReplaceAbsent(m_askPlace) : TStageFrame{};
    case TStageQuestion::Leave:
      return a == TStageAnswer::Yes ? Close({}) : TStageFrame{};
    case TStageQuestion::None:
      break;
  }
  return {};
}

bool TStage::NamedMoment() const {
  const TStagePhase p = Phase();
  return m_named &&
         (p == TStagePhase::Revealed || p == TStagePhase::Choosing || p == TStagePhase::Finished);
}

bool TStage::Busy() const {
  const TStagePhase p = Phase();
  return p == TStagePhase::Selecting || p == TStagePhase::Rolling || p == TStagePhase::Replacing;
}

bool TStage::LeaveAsks() const {
  // Winners revealed and not yet in the winner files.
  return !Busy() && Standing() == TStagePhase::Revealed;
}

bool TStage::ShowsWinnersList() const { return m_e.Session().Task.ShowLuck != 1 && !Busy(); }

TStageFrame TStage::OnLeave() {
  TellUntold();
  if (m_phase == TStagePhase::Closed || m_asking != TStageQuestion::None || Busy()) return {};
  // No is the default and closing the question is No: a habitual Enter keeps the draw.
  if (LeaveAsks())
    return Question({}, TStageQuestion::Leave, drawtext::LeaveQuestion(), TStageAnswer::No);
  return Close({});
}

void TStage::Shut() {
  Telling t(*this);
  m_told.clear();
  TellUntold();
  m_phase = TStagePhase::Closed;
  m_asking = TStageQuestion::None;
  m_e.Close();
}

TStageFrame TStage::RollTick() {
  if (!m_e.RollRuns()) return {};
  TStageFrame f;
  f.rollTexts = m_e.RollStep();
  return f;
}

TStageFrame TStage::OnEnter() {
  TellUntold();
  if (m_asking != TStageQuestion::None) return {};
  switch (Phase()) {
    case TStagePhase::Selecting:
      return {};  // the winners are being fixed: the key waits for nothing
    case TStagePhase::Choosing:
      return Ask(m_choice);
    case TStagePhase::Rolling:
    case TStagePhase::Replacing:
      // A stop key before the roll has run its minimum is a clicker's bounce or a start key
      // pressed twice: ignored, and the roll runs on until the next.
      if (RollTooShort()) return {};
      return StopRoll();
    default:
      return OnStart();
  }
}

bool TStage::Resting() const { return m_shownAt && m_clock() - *m_shownAt < m_e.Keys().restMs; }

bool TStage::RollTooShort() const { return m_clock() - m_rollAt < m_e.Keys().minRollMs; }

TStageFrame TStage::OnStart() {
  TellUntold();
  if (m_phase == TStagePhase::Opening || m_phase == TStagePhase::Closed ||
      m_asking != TStageQuestion::None)
    return {};
  if (m_blanked) return RefusedBlanked();
  if (m_phase == TStagePhase::Landing) {
    // A key during the landing shows the batch at once and goes on: it is never kept
    // waiting, though what it goes on to is a start key like any (the rest after the reveal
    // it has just made ignores it). A replacement's card and the grand prize's moment are
    // seen first: the key only shows them.
    const bool replacement = m_e.LastReplacedPlace().has_value();
    TStageFrame f = Reveal();
    if (!replacement && !m_end.finished) {
      f.follows = true;
      m_follow = Pending::Start;
    }
    return f;
  }
  // Too soon after the screen showed something new: a double-firing clicker, or a key
  // pressed twice. Nothing changes, a choice stays open.
  if (Resting()) return {};
  if (m_phase == TStagePhase::Choosing) m_phase = m_back;
  if (m_grand) return EndGrand();
  if (Busy() || !m_e.BeginBatch()) return {};
  m_phase = kStanding;  // the engine picks the batch's winners now
  m_named = false;
  const int32_t cur = m_e.CurItemIndex();
  if (m_e.IsNamedItem(m_e.Session().Items[static_cast<size_t>(cur)].ItemId)) return NamedAward();
  TStageFrame f;
  f.step = TStageStep::Starts;
  f.taken = true;
  Status(f, drawtext::Selecting());
  // The last batch stood beside its own prize until now: the item drawn next takes the line.
  ShowPrizeOf(f,
              std::min(m_e.CurItemIndex(), static_cast<int32_t>(m_e.Session().Items.size()) - 1));
  // Who may win this batch, before its winners are picked.
  SphereNow(f);
  return f;
}

TStageFrame TStage::OnFollow() {
  const Pending p = m_follow;
  m_follow = Pending::None;
  if (p == Pending::Start) return OnStart();
  if (p == Pending::Q && m_e.MayMarkAbsent() && m_phase != TStagePhase::Landing)
    return OpenChoice();
  return {};
}

TStageFrame TStage::OnKey(TStageKey key, int digit) {
  TellUntold();
  if (m_asking != TStageQuestion::None || m_phase == TStagePhase::Opening ||
      m_phase == TStagePhase::Closed)
    return {};
  if (m_grand && m_phase != TStagePhase::Choosing && key == TStageKey::Esc) {
    // Esc ends the grand prize's moment as a start key does; it never leaves the screen
    // from it, not even too soon (the key is taken and does nothing).
    if (Resting()) {
      TStageFrame f;
      f.taken = true;
      return f;
    }
    return EndGrand();
  }
  if (m_phase == TStagePhase::Choosing) {
    const size_t n = m_e.Session().Winners.size();
    switch (key) {
      case TStageKey::Up:
      case TStageKey::Left:
        if (m_choice > 0) --m_choice;
        break;
      case TStageKey::Down:
        if (m_choice + 1 < n) ++m_choice;
        break;
      case TStageKey::Digit: {
        if (digit < 1) return {};
        const std::vector<size_t> places = RevealedPlaces(m_e);
        const size_t k = static_cast<size_t>(digit - 1);
        if (k < places.size()) return Ask(places[k]);
        TStageFrame f;
        f.taken = true;
        return f;
      }
      case TStageKey::Q:
      case TStageKey::Esc:
        return EndChoice();
      default:
        return {};
    }
    return ChoiceFrame();
  }
  if (key == TStageKey::Q && m_phase == TStagePhase::Landing) {
    // Q during the landing shows the batch at once and goes on to the choice: the winner
    // who is not there is the one the operator has just seen.
    TStageFrame f = Reveal();
    f.taken = true;
    f.follows = true;
    m_follow = Pending::Q;
    return f;
  }
  if (key == TStageKey::Q && m_e.MayMarkAbsent()) return OpenChoice();
  if (Phase() != TStagePhase::Ready) return {};
  std::string n = m_e.AudienceNumber();
  if (key == TStageKey::Digit && digit >= 0 && digit <= 9) {
    n += static_cast<char>('0' + digit);
  } else if (key == TStageKey::Backspace && !n.empty()) {
    n.pop_back();
  } else {
    return {};
  }
  // Too long, or the first batch has begun: the key does nothing.
  if (!m_e.SetAudienceNumber(n)) return {};
  TStageFrame f;
  f.taken = true;
  f.audience = stageview::AudienceText(m_e.AudienceNumber());
  return f;
}

TStageFrame TStage::OpenChoice() {
  m_back = m_phase;
  m_phase = TStagePhase::Choosing;
  const std::vector<size_t> places = RevealedPlaces(m_e);
  m_choice = places.empty() ? m_e.Session().Winners.size() - 1 : places.front();
  return ChoiceFrame();
}

TStageFrame TStage::ChoiceFrame() {
  TStageFrame f;
  f.step = TStageStep::Chooses;
  f.taken = true;
  Status(f, stageview::ChoiceText(m_e, m_choice));
  // Where the operator looks: the chosen card, and its line in the list kept in view.
  const std::vector<size_t> places = RevealedPlaces(m_e);
  for (size_t i = 0; i < places.size(); ++i)
    if (places[i] == m_choice)
      (places.size() <= stageview::kMaxCards ? f.chosenCard : f.chosenRow) = i;
  for (size_t i = 0; i < m_list.lines.size(); ++i)
    if (m_list.lines[i].place == static_cast<int32_t>(m_choice)) f.chosenLine = i;
  return f;
}

TStageFrame TStage::EndChoice() {
  m_phase = m_back;
  TStageFrame f;
  f.taken = true;
  Status(f, m_end.progressText);
  return f;
}

TStageFrame TStage::Ask(size_t place) {
  TStageFrame f;
  if (m_phase == TStagePhase::Choosing) f = EndChoice();
  const TArrLuckId& winners = m_e.Session().Winners;
  if (!m_e.MayMarkAbsent() || place >= winners.size()) return f;
  const TLuckId& w = winners[place];
  m_askPlace = place;
  f.place = place;
  // No is the default: a stray Enter changes nothing.
  return Question(std::move(f), TStageQuestion::Absent,
                  drawtext::AbsentQuestion(ItemNameOf(m_e.Session().Items, w.ItemId),
                                           stageview::PersonText(m_e, place)),
                  TStageAnswer::No);
}

TStageFrame TStage::OnCardClicked(int card) {
  TellUntold();
  // A card is a winner's place: it never starts a batch.
  if (card < 0 || m_phase == TStagePhase::Landing || m_asking != TStageQuestion::None ||
      !m_e.MayMarkAbsent())
    return {};
  const std::vector<size_t> places = RevealedPlaces(m_e);
  if (static_cast<size_t>(card) >= places.size()) return {};
  return Ask(places[static_cast<size_t>(card)]);
}

TStageFrame TStage::ListLineClicked(size_t line) {
  Telling t(*this);
  TellUntold();
  if (m_phase == TStagePhase::Landing || m_asking != TStageQuestion::None || !m_e.MayMarkAbsent() ||
      line >= m_list.lines.size())
    return {};
  const int32_t place = m_list.lines[line].place;
  if (place < 0) return {};
  return Ask(static_cast<size_t>(place));
}

TStageFrame TStage::ReplaceAbsent(size_t place) {
  if (m_blanked) return RefusedBlanked();
  TStageFrame f;
  std::string message;
  if (!m_e.BeginReplacement(place, message)) {
    if (!message.empty()) f.messages.push_back({MessageKind::Attention, message});
    return f;
  }
  return ReplacementRoll(place);
}

TStageFrame TStage::ReplacementRoll(size_t place) {
  TStageFrame f;
  // Like a batch of one: a short roll that lands on the replacement, masked as it rolls.
  // It takes the screen from the grand prize's moment too.
  m_celebrate = true;
  m_grand = false;
  m_named = false;
  m_rollAt = m_clock();
  m_phase = kStanding;  // the replacement rolls: the summary, if any, makes way
  f.step = TStageStep::Rolls;
  f.taken = true;
  f.replacement = true;
  f.stopSummaryTimer = true;
  f.hint = stageview::HintText(m_e);
  // The replacement's own item, not the one drawn next, names the roll and its prize line.
  const TArrLuckItem& items = m_e.Session().Items;
  const int32_t itemId = m_e.Session().Winners[place].ItemId;
  Status(f, drawtext::ReplacementRolling(ItemNameOf(items, itemId)));
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].ItemId == itemId) f.prizeItem = static_cast<int>(i);
  f.prizeChanged = true;
  f.prize = StagePunctuation(stageview::PrizeText(m_e, f.prizeItem));
  m_prizeShown = f.prizeItem;
  const std::vector<std::string> ids = m_e.BatchIds();
  if (!ids.empty()) f.rollTexts = m_e.RollTexts(ids.back());
  if (m_sphere) {
    const TLuckId& absent = m_e.Session().Winners[place];
    f.sphere.emplace().FillReplacement(m_e.Pool(), absent.CandidateIndex, absent.ItemId,
                                       m_e.Session().CandidateLines.size());
  }
  return f;
}

TStageFrame TStage::Select() {
  if (Phase() != TStagePhase::Selecting) return {};
  const TDataDraw::Batch batch = m_e.SelectBatchWinners();
  m_exhausted = batch.exhaustedText;
  m_skipped = batch.skippedText;
  m_celebrate = stageview::Celebrates(batch.picks.size(), m_e.CurItemIndex(),
                                      static_cast<int>(m_e.Session().Items.size()));
  m_rollAt = m_clock();
  // Nobody could be drawn: nothing to roll for.
  if (batch.picks.empty()) return StopRoll();
  TStageFrame f;
  f.step = TStageStep::Rolls;
  f.taken = true;
  Status(f, drawtext::Rolling());
  const std::vector<std::string> ids = m_e.BatchIds();
  if (!ids.empty()) f.rollTexts = m_e.RollTexts(ids.back());
  // The batch is picked: the sphere makes its cards while it rolls.
  SphereWinners(f, m_e.LastBatchPlaces());
  return f;
}

TStageFrame TStage::NamedAward() {
  // Nobody is drawn, so there is nothing to roll or land on: the award is on disk, then in
  // sight, with the fanfare.
  const TDataDraw::Batch batch = m_e.SelectBatchWinners();
  m_exhausted = batch.exhaustedText;
  m_skipped = batch.skippedText;
  m_celebrate = !batch.picks.empty();
  m_e.RevealBatch();
  m_end = m_e.EndBatch();
  m_phase = TStagePhase::Landing;
  return Reveal();
}

TStageFrame TStage::StopRoll() {
  if (!m_e.RollRuns()) return {};
  // The roll lands on the batch's first winner, masked as it rolled; no number is drawn.
  const std::vector<std::string> ids = m_e.BatchIds();
  std::optional<std::vector<std::string>> landing;
  if (!ids.empty()) landing = m_e.RollTexts(ids.front());
  // The batch goes to the journal on disk before anything of it shows; the end of the
  // batch is decided (and a finished draw saved) now, shown at the reveal.
  m_e.RevealBatch();
  m_end = m_e.EndBatch();
  m_phase = TStagePhase::Landing;
  if (!landing) return Reveal();
  TStageFrame f;
  f.step = TStageStep::Lands;
  f.taken = true;
  f.replacement = m_e.LastReplacedPlace().has_value();
  f.rollTexts = std::move(landing);
  f.reveal = RevealNow();  // laid out while the roll rests
  // The draw's last batch (not a replacement) on cards is the grand prize's moment: its
  // screen is drawn ahead too.
  f.reveal->grand = m_end.finished && !f.replacement && !f.reveal->cards.empty();
  if (f.reveal->grand) stageview::GrandTexts(m_e, *f.reveal);
  if (const std::optional<size_t> replaced = m_e.LastReplacedPlace())
    SphereWinners(f, {*replaced});
  else
    SphereWinners(f, m_e.LastBatchPlaces());
  return f;
}

TStageFrame TStage::Reveal() {
  TStageFrame f;
  if (m_phase != TStagePhase::Landing) return f;
  f.step = TStageStep::Reveals;
  f.taken = true;
  f.hideRoll = true;
  const bool replaced = m_e.LastReplacedPlace().has_value();
  f.replacement = replaced;
  f.reveal = RevealNow();
  m_named = f.reveal->named;
  Status(f, m_end.progressText);
  f.finished = m_end.finished;
  f.reveal->grand = m_end.finished && !replaced && !f.reveal->cards.empty();
  if (f.reveal->grand) stageview::GrandTexts(m_e, *f.reveal);
  // The winners stand beside their own prize (a replacement's too) until the next key, even
  // when their batch completed the item.
  ShowPrizeOf(f, RevealedItem());
  f.celebrate = m_celebrate;
  m_celebrate = false;
  m_phase = kStanding;
  m_shownAt = m_clock();
  RevealList(f);
  if (!f.finished) SphereNow(f);
  // What there is to tell comes after the winners are in sight.
  const std::string journalError = m_e.TakeJournalError();
  if (!journalError.empty()) f.messages.push_back({MessageKind::Error, journalError});
  if (!m_skipped.empty()) f.messages.push_back({MessageKind::Attention, m_skipped});
  m_skipped.clear();
  if (!m_exhausted.empty()) f.messages.push_back({MessageKind::Attention, m_exhausted});
  m_exhausted.clear();
  f.hint = stageview::HintText(m_e);
  f.hintAfter = f.messages.size();
  if (!m_end.finished) return f;
  if (f.reveal->grand) {
    // The grand prize's moment: nothing is told over it, and the summary waits; the end of
    // the draw follows the operator's next start key.
    m_grand = true;
    return f;
  }
  if (!m_summaryDue) {
    // The draw's last batch, or a replacement that took the screen from the grand prize's
    // moment before the end was told.
    TellFinish(f, m_end);
    f.startSummaryTimer = m_end.saved;
    return f;
  }
  // A replacement on the finished screen: the files were written again.
  if (!m_end.saved) f.messages.push_back({MessageKind::Error, m_end.saveError});
  f.startSummaryTimer = m_end.saved;
  return f;
}

TStageFrame TStage::EndGrand() {
  m_grand = false;
  m_named = false;
  TStageFrame f;
  f.step = TStageStep::Ends;
  f.taken = true;
  Status(f, m_end.progressText);
  TellFinish(f, m_end);
  f.startSummaryTimer = m_end.saved;
  return f;
}

void TStage::TellFinish(TStageFrame& f, const TDataDraw::BatchEnd& end) {
  if (end.saved)
    f.messages.push_back({MessageKind::Information, drawtext::FinishMessage()});
  else
    f.messages.push_back({MessageKind::Error, end.saveError});
  // Once the message is answered, the summary follows.
  m_summaryDue = true;
}

TStageFrame TStage::LandingOver() {
  if (m_phase == TStagePhase::Landing) return Reveal();
  TStageFrame f;
  if (Busy()) return f;
  f.hideRoll = true;
  const TStagePhase standing = m_phase == TStagePhase::Choosing ? m_back : m_phase;
  f.startSummaryTimer = m_summaryDue && standing != TStagePhase::Summary;
  return f;
}

TStageFrame TStage::SummaryTime() {
  TellUntold();
  if (m_phase == TStagePhase::Choosing)
    m_back = TStagePhase::Summary;
  else
    m_phase = TStagePhase::Summary;
  TStageFrame f;
  f.step = TStageStep::Summarises;
  f.hideRoll = true;
  f.stopSummaryTimer = true;
  f.hintShown = m_e.MayMarkAbsent();
  f.summary = stageview::SummaryItems(m_e);
  return f;
}

TStageFrame TStage::Resumed(const TDataDraw::BatchEnd& end, TStageFrame f) {
  m_end = end;
  // A journal that ends in a replacement left its card alone on the screen: the engine's
  // last reveal says which.
  m_phase = kStanding;
  m_grand = false;
  m_shownAt = m_clock();
  TellNotes(f);
  f.step = TStageStep::Resumes;
  f.taken = true;
  // Taken over from a copy that lacked the hall's last batches: the hall hears they are
  // drawn again.
  if (const auto& moved = m_e.Moved(); moved && !movetext::Redrawn(*moved).empty())
    f.messages.push_back({MessageKind::Attention, movetext::Redrawn(*moved)});
  m_prizeShown = -1;
  ShowPrizeOf(f, RevealedItem());
  f.reveal = RevealNow();
  m_named = f.reveal->named;
  Status(f, end.progressText);
  f.hint = stageview::HintText(m_e);
  f.finished = EveryItemDrawn();
  RevealList(f);
  if (!f.finished) SphereNow(f);
  if (end.finished) {
    TellFinish(f, end);
    f.startSummaryTimer = true;
  }
  return f;
}

void TStage::SphereNow(TStageFrame& f) const {
  if (!m_sphere) return;
  TSpherePopulation& p = f.sphere.emplace();
  const int32_t index = m_e.CurItemIndex();
  if (index >= 0 && static_cast<size_t>(index) < m_e.Session().Items.size())
    p.Fill(m_e.Pool(), m_e.Session().Items[static_cast<size_t>(index)].ItemId,
           m_e.Session().CandidateLines.size());
}

void TStage::SphereWinners(TStageFrame& f, const std::vector<size_t>& places) const {
  if (!m_sphere) return;
  for (size_t place : places)
    f.sphereWinners.push_back(m_e.Session().Winners[place].CandidateIndex);
}

void TStage::RevealList(TStageFrame& f) {
  TRevealedList r;
  r.taskId = m_e.Session().Task.TaskId;
  const TWinnerList& list = m_e.WinnerList();
  const TArrLuckId& winners = m_e.Session().Winners;
  for (size_t i = 0; i < list.Lines().size(); ++i) {
    const std::string& text = list.Lines()[i];
    if (r.lines.empty() && text.empty()) continue;  // it starts with its first caption
    TRevealedLine line;
    line.text = text;
    const int32_t place = list.PlaceAt(i);
    if (place >= 0 && static_cast<size_t>(place) < winners.size()) {
      const TLuckId& w = winners[static_cast<size_t>(place)];
      line.place = place;
      line.id = std::string(CandidateId(w.CandidateLine));
      line.item = ItemNameOf(m_e.Session().Items, w.ItemId);
      line.itemId = w.ItemId;
      line.line = w.CandidateLine;
    } else if (!text.empty() && text.back() == ':') {
      for (const TLuckItem& item : m_e.Session().Items)
        if (text == item.ItemName + ":") line.caption = true;
    }
    r.lines.push_back(std::move(line));
  }
  r.voided = VoidedLines();
  m_list = r;
  // The observers hear it once the window has it in sight (InSight).
  m_untold = true;
  f.listLines = stageview::ListLines(r);
  f.listWidest = list.WidestLine();
  f.list = std::move(r);
}

void TStage::InSight() {
  Telling t(*this);
  TellUntold();
}

std::vector<TRevealedLine> TStage::VoidedLines() const {
  std::vector<TRevealedLine> lines;
  for (const TVoidId& v : m_e.Voids()) {
    TRevealedLine line;
    line.place = v.Place;
    line.id = std::string(CandidateId(v.CandidateLine));
    line.item = ItemNameOf(m_e.Session().Items, v.ItemId);
    line.itemId = v.ItemId;
    line.line = v.CandidateLine;
    lines.push_back(std::move(line));
  }
  return lines;
}

void TStage::TellVoids(std::vector<TRevealedLine> pending) {
  // A voided winner may claim nothing from now on, even while the place is drawn again.
  m_list.voided = VoidedLines();
  for (TRevealedLine& l : pending) m_list.voided.push_back(std::move(l));
  for (TStageObserver* o : m_e.Session().Watchers()) o->Revealed(m_list);
}

void TStage::TellUntold() {
  if (!m_untold) return;
  m_untold = false;
  for (TStageObserver* o : m_e.Session().Watchers()) o->Revealed(m_list);
}

int TStage::RevealedItem() const {
  const TArrLuckItem& items = m_e.Session().Items;
  const int last = static_cast<int>(items.size()) - 1;
  const std::vector<size_t> places = RevealedPlaces(m_e);
  if (!places.empty() && places.front() < m_e.Session().Winners.size()) {
    const int32_t itemId = m_e.Session().Winners[places.front()].ItemId;
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i].ItemId == itemId) return static_cast<int>(i);
  }
  // Nobody revealed (nobody could be drawn): the line stays where it stands.
  return m_prizeShown >= 0 ? m_prizeShown : std::min(m_e.CurItemIndex(), last);
}

void TStage::ShowPrizeOf(TStageFrame& f, int itemIndex) {
  if (itemIndex < 0 || itemIndex == m_prizeShown) return;
  m_prizeShown = itemIndex;
  f.prizeChanged = true;
  f.prizeItem = itemIndex;
  f.prize = StagePunctuation(stageview::PrizeText(m_e, itemIndex));
}

bool TStage::MayChange() const {
  if (m_asking != TStageQuestion::None) return false;
  const TStagePhase p = Phase();
  return p == TStagePhase::Revealed || p == TStagePhase::Finished || p == TStagePhase::Summary;
}

TStageFrame TStage::Refused(const std::string& message) {
  TStageFrame f;
  f.taken = true;
  f.messages.push_back({MessageKind::Attention, message});
  return f;
}

TStageFrame TStage::OnBlank(bool on) {
  TellUntold();
  TStageFrame f;
  if (m_phase == TStagePhase::Closed || on == m_blanked) return f;
  if (on && RollUnderWay(Phase())) {
    m_note = G("正在抽奖，揭晓后才能黑屏");
    return f;
  }
  m_blanked = on;
  f.taken = true;
  f.blank = on;
  return f;
}

TStageFrame TStage::RefusedBlanked() {
  TStageFrame f;
  f.taken = true;
  m_note = G("投影已黑屏，不能开始抽奖：请先按B恢复投影");
  return f;
}

TStageFrame TStage::OnChangePlan(const TPlanChange& change) {
  TellUntold();
  if (m_phase == TStagePhase::Opening || m_phase == TStagePhase::Closed) return {};
  // Before the first batch the engine says why; under way the stage does.
  if (!MayChange() && Phase() != TStagePhase::Ready) return Refused(stageview::ChangeWaits());
  TDataDraw::BatchEnd end;
  std::string message;
  TPlanRecord r;
  r.LuckCount = change.count;
  r.ItemId = change.itemId;
  bool ok = false;
  switch (change.kind) {
    case TPlanChangeKind::AddItem:
      r.Kind = TPlanKind::Add;
      r.Name = PlanText(change.item.Name);
      r.LuckCount = change.item.LuckCount;
      ok = m_e.AddItem(change.item, change.drawNext, change.audience, end, message);
      break;
    case TPlanChangeKind::ChangeCount:
      r.Kind = TPlanKind::Count;
      ok = m_e.ChangeCount(change.itemId, change.count, change.audience, end, message);
      break;
    case TPlanChangeKind::ChooseNext:
      r.Kind = TPlanKind::Next;
      ok = m_e.ChooseNext(change.itemId, change.audience, end, message);
      break;
  }
  if (!ok) return Refused(message);
  return Changed(end, stageview::ChangeText(m_e, r, {}));
}

TStageFrame TStage::OnVoid(const TVoidRequest& request) {
  TellUntold();
  if (m_phase == TStagePhase::Opening || m_phase == TStagePhase::Closed) return {};
  if (!MayChange()) return Refused(stageview::VoidWaits());
  if (request.redraw && m_blanked) return RefusedBlanked();
  const TArrLuckId& winners = m_e.Session().Winners;
  const std::vector<size_t> places = request.scope == TVoidScope::LastBatch
                                         ? m_e.LastBatchPlaces()
                                         : std::vector<size_t>{request.place};
  // Named before the void: without a redraw the place is gone afterwards.
  TPlanRecord r;
  r.Kind = TPlanKind::Void;
  r.Reason = PlanText(request.reason);
  r.Redraw = request.redraw;
  std::string who;
  if (!places.empty() && places.front() < winners.size()) {
    r.ItemId = winners[places.front()].ItemId;
    who = places.size() == 1 ? stageview::PersonText(m_e, places.front())
                             : std::to_string(places.size()) + G("名");
  }
  TDataDraw::BatchEnd end;
  std::string message;
  const bool ok =
      request.scope == TVoidScope::LastBatch
          ? m_e.VoidLastBatch(request.reason, request.time, request.redraw, end, message)
          : m_e.VoidWinner(request.place, request.reason, request.time, request.redraw, end,
                           message);
  if (!ok) return Refused(message);
  // A redraw puts its void on record with the replacement: till then it is told as pending.
  std::vector<TRevealedLine> pending;
  if (m_e.ReplacementRuns())
    for (size_t place : places)
      for (const TRevealedLine& l : m_list.lines)
        if (l.place == static_cast<int32_t>(place)) pending.push_back(l);
  TellVoids(std::move(pending));
  if (m_e.ReplacementRuns()) {
    TStageFrame f = ReplacementRoll(places.front());
    // A place that found no replacement is told once its redraw is in sight.
    if (!message.empty()) m_skipped = message;
    return f;
  }
  TStageFrame f;
  f.taken = true;
  m_grand = false;
  m_named = false;
  m_shownAt = m_clock();
  if (!end.progressText.empty()) m_end.progressText = end.progressText;
  RevealList(f);
  f.status = StagePunctuation(stageview::ChangeText(m_e, r, who));
  f.hint = stageview::HintText(m_e);
  f.finished = EveryItemDrawn();
  if (f.finished && !m_summaryDue) {
    // A void over the grand prize's moment: the end of the draw is told now.
    TellFinish(f, end);
    f.startSummaryTimer = end.saved;
  } else if (end.finished && !end.saved) {
    f.messages.push_back({MessageKind::Error, end.saveError});
  }
  const TStagePhase standing = m_phase == TStagePhase::Choosing ? m_back : m_phase;
  if (standing == TStagePhase::Summary) {
    f.step = TStageStep::Summarises;
    f.hintShown = m_e.MayMarkAbsent();
    f.summary = stageview::SummaryItems(m_e);
    return f;
  }
  // The cards stand as the batch now is: the voided place empty.
  f.step = TStageStep::Reveals;
  f.hideRoll = true;
  f.reveal = RevealNow();
  ShowPrizeOf(f, RevealedItem());
  f.hintAfter = f.messages.size();
  if (!f.finished) SphereNow(f);
  return f;
}

TStageFrame TStage::Changed(const TDataDraw::BatchEnd& end, const std::string& text) {
  TStageFrame f;
  f.taken = true;
  m_grand = false;
  m_named = false;
  m_shownAt = m_clock();
  if (!end.progressText.empty()) m_end.progressText = end.progressText;
  RevealList(f);
  f.hint = stageview::HintText(m_e);
  if (EveryItemDrawn()) {
    // The change completed the last item: the draw ends as after its last batch.
    f.finished = true;
    Status(f, m_end.progressText);
    if (end.finished) {
      m_end = end;
      TellFinish(f, end);
      f.startSummaryTimer = end.saved;
    }
    if (m_phase == TStagePhase::Summary) {
      f.step = TStageStep::Summarises;
      f.hintShown = m_e.MayMarkAbsent();
      f.summary = stageview::SummaryItems(m_e);
      return f;
    }
    f.step = TStageStep::Changes;
    f.band = TStageBand{StagePunctuation(text), {}};
    return f;
  }
  // The draw goes on (a finished one is taken up again): the next item comes.
  m_phase = kStanding;
  m_summaryDue = false;
  f.step = TStageStep::Changes;
  f.stopSummaryTimer = true;
  Status(f, m_end.progressText);
  const int next = m_e.CurItemIndex();
  f.band = stageview::ChangeBand(m_e, text, next);
  ShowPrizeOf(f, next);
  SphereNow(f);
  return f;
}
