#include "core/draw/Stage.h"

#include "core/draw/DrawTexts.h"
#include "core/draw/StageColumns.h"
#include "core/draw/StageText.h"
#include "core/records/ResultsHistory.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"

#include <algorithm>

using text::G;

TStagePhase TStage::Standing() const {
  if (m_e.state() == TDataDraw::State::Finished) return TStagePhase::Finished;
  if (m_e.state() == TDataDraw::State::BetweenBatches) return TStagePhase::Revealed;
  return TStagePhase::Ready;
}

bool TStage::SetUp(int32_t taskId, TDrawFailure& failure) {
  m_phase = TStagePhase::Opening;
  return m_e.SetUp(taskId, failure);
}

TStageFrame TStage::Open() {
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
  if (HasWinnerFiles(Task().TaskId))  // a new draw moves them to the history
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
  m_phase = TStagePhase::Ready;
  m_grand = false;
  m_shownAt = m_clock();
  f.step = TStageStep::Opens;
  f.taken = true;
  f.status = ReadyText();
  f.proof = ProofText();
  SphereNow(f);
  f.audience = AudienceText();
  f.prizeChanged = true;
  f.prizeItem = 0;
  f.prize = PrizeText(0);
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
  f.step = TStageStep::Asks;
  f.taken = true;
  f.asks = q;
  f.question = std::move(text);
  f.preferred = preferred;
  f.escape = escape;
  return f;
}

TStageFrame TStage::Answer(TStageAnswer a) {
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
      return a == TStageAnswer::Yes ? Replace(m_askPlace) : TStageFrame{};
    case TStageQuestion::Leave:
      return a == TStageAnswer::Yes ? Close({}) : TStageFrame{};
    case TStageQuestion::None:
      break;
  }
  return {};
}

bool TStage::Busy() const {
  return m_phase == TStagePhase::Selecting || m_phase == TStagePhase::Rolling ||
         m_phase == TStagePhase::Replacing;
}

bool TStage::LeaveAsks() const {
  // Winners revealed and not yet in the winner files.
  return !Busy() && m_e.state() == TDataDraw::State::BetweenBatches;
}

bool TStage::ShowsWinnersList() const { return Task().ShowLuck != 1 && !Busy(); }

TStageFrame TStage::Leave() {
  TellUntold();
  if (m_phase == TStagePhase::Closed || m_asking != TStageQuestion::None || Busy()) return {};
  // No is the default and closing the question is No: a habitual Enter keeps the draw.
  if (LeaveAsks())
    return Question({}, TStageQuestion::Leave, drawtext::LeaveQuestion(), TStageAnswer::No);
  return Close({});
}

void TStage::Shut() {
  TellUntold();
  m_phase = TStagePhase::Closed;
  m_asking = TStageQuestion::None;
  m_e.Close();
}

TStageFrame TStage::RollTick() {
  if (m_phase != TStagePhase::Rolling && m_phase != TStagePhase::Replacing) return {};
  TStageFrame f;
  f.rollTexts = m_e.RollStep();
  return f;
}

TStageFrame TStage::Enter() {
  TellUntold();
  if (m_asking != TStageQuestion::None) return {};
  switch (m_phase) {
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
      return Start();
  }
}

bool TStage::Resting() const { return m_shownAt && m_clock() - *m_shownAt < m_e.Keys().restMs; }

bool TStage::RollTooShort() const { return m_clock() - m_rollAt < m_e.Keys().minRollMs; }

TStageFrame TStage::Start() {
  TellUntold();
  if (m_phase == TStagePhase::Opening || m_phase == TStagePhase::Closed ||
      m_asking != TStageQuestion::None)
    return {};
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
  if (m_phase == TStagePhase::Selecting || m_phase == TStagePhase::Rolling ||
      m_phase == TStagePhase::Replacing || !m_e.BeginBatch())
    return {};
  m_phase = TStagePhase::Selecting;
  TStageFrame f;
  f.step = TStageStep::Starts;
  f.taken = true;
  f.status = drawtext::Selecting();
  // The last batch stood beside its own prize until now: the item drawn next takes the line.
  ShowPrizeOf(f,
              std::min(m_e.CurItemIndex(), static_cast<int32_t>(m_e.Session().Items.size()) - 1));
  // Who may win this batch, before its winners are picked.
  SphereNow(f);
  return f;
}

TStageFrame TStage::Follow() {
  const Pending p = m_follow;
  m_follow = Pending::None;
  if (p == Pending::Start) return Start();
  if (p == Pending::Q && m_e.MayMarkAbsent() && m_phase != TStagePhase::Landing)
    return OpenChoice();
  return {};
}

TStageFrame TStage::Key(TStageKey key, int digit) {
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
        const std::vector<size_t> places = RevealedPlaces();
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
  if (m_phase != TStagePhase::Ready) return {};
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
  f.audience = AudienceText();
  return f;
}

TStageFrame TStage::OpenChoice() {
  m_back = m_phase;
  m_phase = TStagePhase::Choosing;
  const std::vector<size_t> places = RevealedPlaces();
  m_choice = places.empty() ? m_e.Session().Winners.size() - 1 : places.front();
  return ChoiceFrame();
}

TStageFrame TStage::ChoiceFrame() {
  TStageFrame f;
  f.step = TStageStep::Chooses;
  f.taken = true;
  f.status = ChoiceText(m_choice);
  // Where the operator looks: the chosen card, and its line in the list kept in view.
  const std::vector<size_t> places = RevealedPlaces();
  for (size_t i = 0; i < places.size(); ++i)
    if (places[i] == m_choice) (places.size() <= kMaxCards ? f.chosenCard : f.chosenRow) = i;
  for (size_t i = 0; i < m_list.lines.size(); ++i)
    if (m_list.lines[i].place == static_cast<int32_t>(m_choice)) f.chosenLine = i;
  return f;
}

TStageFrame TStage::EndChoice() {
  m_phase = m_back;
  TStageFrame f;
  f.taken = true;
  f.status = m_end.progressText;
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
  return Question(
      std::move(f), TStageQuestion::Absent,
      drawtext::AbsentQuestion(ItemNameOf(m_e.Session().Items, w.ItemId), PersonText(place)),
      TStageAnswer::No);
}

TStageFrame TStage::CardClicked(int card) {
  TellUntold();
  // A card is a winner's place: it never starts a batch.
  if (card < 0 || m_phase == TStagePhase::Landing || m_asking != TStageQuestion::None ||
      !m_e.MayMarkAbsent())
    return {};
  const std::vector<size_t> places = RevealedPlaces();
  if (static_cast<size_t>(card) >= places.size()) return {};
  return Ask(places[static_cast<size_t>(card)]);
}

TStageFrame TStage::ListLineClicked(size_t line) {
  TellUntold();
  if (m_phase == TStagePhase::Landing || m_asking != TStageQuestion::None || !m_e.MayMarkAbsent() ||
      line >= m_list.lines.size())
    return {};
  const int32_t place = m_list.lines[line].place;
  if (place < 0) return {};
  return Ask(static_cast<size_t>(place));
}

TStageFrame TStage::Replace(size_t place) {
  TStageFrame f;
  std::string message;
  if (!m_e.BeginReplacement(place, message)) {
    if (!message.empty()) f.messages.push_back({MessageKind::Attention, message});
    return f;
  }
  // Like a batch of one: a short roll that lands on the replacement, masked as it rolls.
  // It takes the screen from the grand prize's moment too.
  m_celebrate = true;
  m_grand = false;
  m_rollAt = m_clock();
  m_phase = TStagePhase::Replacing;
  f.step = TStageStep::Rolls;
  f.taken = true;
  f.replacement = true;
  f.stopSummaryTimer = true;
  f.hint = HintText();
  // The replacement's own item, not the one drawn next, names the roll and its prize line.
  const TArrLuckItem& items = m_e.Session().Items;
  const int32_t itemId = m_e.Session().Winners[place].ItemId;
  f.status = drawtext::ReplacementRolling(ItemNameOf(items, itemId));
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].ItemId == itemId) f.prizeItem = static_cast<int>(i);
  f.prizeChanged = true;
  f.prize = PrizeText(f.prizeItem);
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
  if (m_phase != TStagePhase::Selecting) return {};
  const TDataDraw::Batch batch = m_e.SelectBatchWinners();
  m_exhausted = batch.exhaustedText;
  m_skipped = batch.skippedText;
  m_celebrate = Celebrates(batch.picks.size(), m_e.CurItemIndex(),
                           static_cast<int>(m_e.Session().Items.size()));
  m_phase = TStagePhase::Rolling;
  m_rollAt = m_clock();
  // Nobody could be drawn: nothing to roll for.
  if (batch.picks.empty()) return StopRoll();
  TStageFrame f;
  f.step = TStageStep::Rolls;
  f.taken = true;
  f.status = drawtext::Rolling();
  const std::vector<std::string> ids = m_e.BatchIds();
  if (!ids.empty()) f.rollTexts = m_e.RollTexts(ids.back());
  // The batch is picked: the sphere makes its cards while it rolls.
  SphereWinners(f, m_e.LastBatchPlaces());
  return f;
}

TStageFrame TStage::StopRoll() {
  if (m_e.state() != TDataDraw::State::Rolling) return {};
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
  f.reveal = RevealOf(RevealedPlaces());  // laid out while the roll rests
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
  f.reveal = RevealOf(RevealedPlaces());
  f.status = m_end.progressText;
  f.finished = m_end.finished;
  f.reveal->grand = m_end.finished && !replaced && !f.reveal->cards.empty();
  // The winners stand beside their own prize (a replacement's too) until the next key, even
  // when their batch completed the item.
  ShowPrizeOf(f, RevealedItem());
  f.celebrate = m_celebrate;
  m_celebrate = false;
  m_phase = Standing();
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
  f.hint = HintText();
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
  TStageFrame f;
  f.step = TStageStep::Ends;
  f.taken = true;
  f.status = m_end.progressText;
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
  return f;
}

TStageFrame TStage::Resumed(const TDataDraw::BatchEnd& end, TStageFrame f) {
  m_end = end;
  // A journal that ends in a replacement left its card alone on the screen: the engine's
  // last reveal says which.
  m_phase = Standing();
  m_grand = false;
  m_shownAt = m_clock();
  TellNotes(f);
  f.step = TStageStep::Resumes;
  f.taken = true;
  m_prizeShown = -1;
  ShowPrizeOf(f, RevealedItem());
  f.reveal = RevealOf(RevealedPlaces());
  f.status = end.progressText;
  f.hint = HintText();
  f.finished = m_e.state() == TDataDraw::State::Finished;
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
  r.taskId = Task().TaskId;
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
  m_list = r;
  // The observers hear it once the window has it in sight (InSight).
  m_untold = true;
  f.list = std::move(r);
}

void TStage::InSight() { TellUntold(); }

void TStage::TellUntold() {
  if (!m_untold) return;
  m_untold = false;
  for (TStageObserver* o : m_e.Session().Watchers()) o->Revealed(m_list);
}

int TStage::RevealedItem() const {
  const TArrLuckItem& items = m_e.Session().Items;
  const int last = static_cast<int>(items.size()) - 1;
  const std::vector<size_t> places = RevealedPlaces();
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
  f.prize = PrizeText(itemIndex);
}

TStageReveal TStage::RevealOf(const std::vector<size_t>& places) const {
  TStageReveal r;
  const TStageColumns& columns = m_e.Columns();
  std::vector<std::string> lines;
  for (size_t p : places)
    if (p < m_e.Session().Winners.size()) lines.push_back(m_e.Session().Winners[p].CandidateLine);
  // More than six winners show their ids and names as lines; fewer stand on cards.
  if (lines.size() > kMaxCards) {
    for (const std::string& line : lines) r.lines.push_back(columns.ShortLine(line));
    return r;
  }
  for (const std::string& line : lines) r.cards.push_back(CardOf(line, columns, Task().TaskId));
  // A replacement's card says so, before the fields the list gives.
  const std::optional<size_t> replaced = m_e.LastReplacedPlace();
  if (replaced && places.size() == 1 && places.front() == *replaced && r.cards.size() == 1) {
    std::string& rest = r.cards.front().rest;
    rest = G("替补") + (rest.empty() ? std::string() : " " + rest);
  }
  return r;
}

TStageCardText TStage::CardOf(const std::string& candidateLine, bool numericIds, int32_t taskId) {
  return CardOf(candidateLine,
                TStageColumns(std::string_view(), std::string_view(), numericIds, 0, 0), taskId);
}

TStageCardText TStage::CardOf(const std::string& candidateLine, const TStageColumns& columns,
                              int32_t taskId) {
  const TWinnerCard c = columns.Card(candidateLine);
  // The photo is stored under the id, shown or not.
  return {c.id, c.name, c.rest, photos::PhotoOf(taskId, text::FirstField(candidateLine))};
}

std::vector<size_t> TStage::RevealedPlaces() const {
  if (const std::optional<size_t> replaced = m_e.LastReplacedPlace()) return {*replaced};
  return m_e.LastBatchPlaces();
}

bool TStage::Celebrates(size_t picks, int itemIndex, int itemCount) {
  return picks > 0 && (picks == 1 || itemIndex == itemCount - 1);
}

std::string TStage::HintText() const {
  std::string hint = StagePunctuation(Task().RemainText);
  if (m_e.MayMarkAbsent()) hint += (hint.empty() ? std::string() : "    ") + G("缺席按Q");
  return hint;
}

std::string TStage::ChoiceText(size_t place) const {
  if (place >= m_e.Session().Winners.size()) return {};
  const TLuckId& w = m_e.Session().Winners[place];
  return G("标记缺席:[") + ItemNameOf(m_e.Session().Items, w.ItemId) + G("]") + PersonText(place) +
         G("  ↑↓选择,数字键选本批第几名,回车确认,Esc取消");
}

std::string TStage::PersonText(size_t place) const {
  if (place >= m_e.Session().Winners.size()) return {};
  const std::string& line = m_e.Session().Winners[place].CandidateLine;
  const TWinnerCard card = m_e.Columns().Card(line);
  // The id as the winners list masks it; an id that is the name is the name already.
  const std::string id =
      card.id.empty() ? std::string() : MaskId(CandidateId(line), Task().HideBegin, Task().HideEnd);
  if (card.name.empty()) return id;
  if (id.empty()) return card.name;
  return card.name + G("（") + id + G("）");
}

std::vector<TItemSummary> TStage::SummaryItems() const {
  const TLuckTask& task = Task();
  std::vector<TItemSummary> items = WinnerSummary(m_e.Session().Items, m_e.Session().Winners,
                                                  m_e.Columns(), m_e.Session().Absences);
  for (TItemSummary& s : items) {
    s.caption = StagePunctuation(s.caption);
    if (task.ShowLuck == 1)
      s.winners.clear();
    else
      s.winners.insert(s.winners.end(), s.absent.begin(), s.absent.end());
    s.absent.clear();
  }
  return items;
}

TStage::NextItem TStage::NextItemTexts(int itemIndex) const {
  if (itemIndex < 0 || itemIndex >= static_cast<int>(m_e.Session().Items.size())) return {};
  const TLuckItem& it = m_e.Session().Items[static_cast<size_t>(itemIndex)];
  NextItem n{it.ItemName, G("共") + std::to_string(it.LuckCount) + G("名"),
             m_e.RulesLine(itemIndex)};
  if (!it.AwardName.empty()) n.gift += G("　奖品：") + it.AwardName;
  return n;
}

std::string TStage::ListLine(const std::string& line) {
  if (line.empty() || line.back() != ':') return line;
  return line.substr(0, line.size() - 1) + G("：");
}

std::string TStage::AudienceText() const {
  const std::string& n = m_e.AudienceNumber();
  if (n.empty()) return G("现场号码（可选）：输入数字后按回车开始");
  return G("现场号码：") + n + G("    按回车开始");
}

std::string TStage::ReadyText() const { return drawtext::Ready(m_e.Session().Items); }

std::string TStage::PrizeText(int itemIndex) const {
  const TArrLuckItem& items = m_e.Session().Items;
  if (itemIndex < 0 || itemIndex >= static_cast<int>(items.size())) return {};
  const TLuckItem& item = items[static_cast<size_t>(itemIndex)];
  const std::string prize = drawtext::Prize(item);
  // Under rules the prize line keeps the item's rules in sight for all its batches.
  const std::string rules = m_e.RulesLine(itemIndex);
  if (rules.empty()) return prize;
  return (prize.empty() ? item.ItemName : prize) + G("　") + rules;
}

std::string TStage::ProofText() const {
  const TJournalHead& h = m_e.JournalHead();
  const size_t n = m_e.Session().CandidateLines.size();
  std::string proof =
      G("抽奖凭证  名单 ") + h.DataHash.substr(0, 12) + "  " + std::to_string(n) + G("人  ");
  // Those checked in, when only they are drawn: their number and fingerprint.
  if (h.CheckinOnly)
    proof += G("签到 ") + h.PresentHash.substr(0, 8) + "  " + std::to_string(h.Present.size()) +
             G("人  ");
  return proof + G("承诺 ") + h.Commit.substr(0, 16);
}

int TStage::RollLabelCount() const { return ::RollLabelCount(m_e.Session()); }
