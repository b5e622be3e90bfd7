#include "app/WizardState.h"

bool PageHasCancel(TPage page) {
    return page == TPage::tsStart || page == TPage::tsInputPath || page == TPage::tsInputComponents;
}

TWizardStep NextStep(TPage page, TWizardEvent event, bool canClose, bool exitEnabled) {
    const TWizardStep stay{page};
    switch (event) {
    case TWizardEvent::Created:
        return {TPage::tsStart};
    case TWizardEvent::Next:
        return page == TPage::tsStart ? TWizardStep{TPage::tsInputPath, false, true} : stay;
    case TWizardEvent::PathAccepted:
        return page == TPage::tsInputPath ? TWizardStep{TPage::tsInputComponents} : stay;
    case TWizardEvent::PathRefused:
        return page == TPage::tsInputPath ? TWizardStep{TPage::tsInputPath, false, true} : stay;
    case TWizardEvent::Back:
        return page == TPage::tsInputComponents ? TWizardStep{TPage::tsInputPath} : stay;
    case TWizardEvent::Install:
        return page == TPage::tsInputComponents ? TWizardStep{TPage::tsProgressInstall} : stay;
    case TWizardEvent::CancelConfirmed:
        return PageHasCancel(page) ? TWizardStep{TPage::tsCancel} : stay;
    case TWizardEvent::Exit: {
        const bool offersExit = page == TPage::tsCancel || page == TPage::tsChangeFontSize ||
                                (page == TPage::tsProgressInstall && exitEnabled);
        return {page, offersExit && canClose};
    }
    case TWizardEvent::CloseCommand:
        return {page, canClose};
    }
    return stay;
}

TRunEndStep RunEndStep(const TRunEnd& end, const TEndFacts& facts) {
    TRunEndStep step;
    // No one there to leave the window, a close asked for during the run (carried out now, asking nothing
    // more), or nothing to look at.
    if (end.Leaves || !facts.Interactive || facts.CloseRequested) {
        step.Close = true;
        return step;
    }
    step.Box = end.Box;
    if (facts.SmallFonts && end.FontAdvice == TFontAdvice::Instead)
        step.Page = TPage::tsChangeFontSize;
    else
        step.Question = end.Question;
    return step;
}

TWizardStep AfterEndQuestion(const TRunEnd& end, bool yes, bool smallFonts) {
    if (yes)
        return {TPage::tsProgressInstall, true};
    return {smallFonts && end.FontAdvice == TFontAdvice::AfterQuestion ? TPage::tsChangeFontSize
                                                                       : TPage::tsProgressInstall};
}
