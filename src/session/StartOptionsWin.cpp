// What the system says that a start depends on, and the run log's opening.
#include "session/StartOptions.h"
#include "session/StartOptionsWin.h"

#include "common/Error.h"
#include "common/FileIO.h"
#include "common/LocalTime.h"
#include "install/trust/Elevation.h"
#include "install/record/Registration.h"
#include "win/MessageBox.h"

TStartFacts SystemStartFacts(const TProductTexts& Product) {
    TStartFacts facts;
    facts.Program = ExecutablePath();
    facts.ProgramFolder = ExecutableFolder();
    if (const auto registered = TrustedRegistration(ProcessIsElevated()))
        facts.RegisteredFolder = registered->InstallLocation;
    facts.FullPathOf = FullPathOf;
    facts.Product = Product;
    return facts;
}

TLogSetup OpenRunLog(const std::optional<std::wstring>& Path, bool ShowErrors) {
    TLogSetup setup;
    setup.Path = Path ? *Path : DefaultRunLogPath(LocalNow());
    try {
        setup.File = std::make_unique<TRunLogFile>(setup.Path);
        setup.Path = setup.File->FileName();
    } catch (const TError& error) {
        if (ShowErrors)
            ShowMessageBox(nullptr, error.Message() + L"\r\n\r\nПрограмма продолжит работу без журнала.",
                           TBoxIcon::Warning);
        setup.Path.clear();
    }
    TRunLogFile* file = setup.File.get();
    setup.Log = std::make_unique<TRunLog>(LocalNow, [file](std::string_view bytes) {
        if (file)
            file->Write(bytes);
    });
    return setup;
}
