#include "session/CommandLine.h"

#include "common/StrUtils.h"

namespace {

constexpr wchar_t UnknownSwitch[] = L"Неизвестный параметр командной строки: ";

struct TSplitArguments {
    std::vector<std::wstring> Arguments;
    bool Unclosed = false; // the last argument opened a double quote that the text never closes
};

TSplitArguments Split(std::wstring_view arguments) {
    TSplitArguments result;
    std::wstring current;
    bool inQuotes = false, any = false;
    for (wchar_t c : arguments) {
        if (c == L'"') {
            inQuotes = !inQuotes;
            any = true;
        } else if (!inQuotes && (c == L' ' || c == L'\t')) {
            if (any)
                result.Arguments.push_back(std::move(current));
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        result.Arguments.push_back(std::move(current));
    result.Unclosed = inQuotes;
    return result;
}

// Reads the arguments in their order up to the first that is refused, whose reason goes to Error.
void ReadSwitches(const std::vector<std::wstring>& arguments, TCommandLine& result) {
    for (const std::wstring& argument : arguments) {
        if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) {
            result.Error = UnknownSwitch + Quoted(argument);
            return;
        }
        const std::size_t equals = argument.find(L'=');
        const std::wstring name =
            argument.substr(1, equals == std::wstring::npos ? std::wstring::npos : equals - 1);
        const bool hasValue = equals != std::wstring::npos;
        const std::wstring value = hasValue ? argument.substr(equals + 1) : std::wstring();

        const auto flag = [&](bool& target) {
            if (hasValue) {
                result.Error = L"Параметр /" + name + L" не принимает значения: " + Quoted(argument);
                return false;
            }
            target = true;
            return true;
        };
        const auto text = [&](std::optional<std::wstring>& target) {
            if (!hasValue || value.empty()) {
                result.Error = L"Параметру /" + name + L" нужно значение: /" + name + L"=\"...\"";
                return false;
            }
            target = value;
            return true;
        };
        bool ok = true, on = false;
        if (SameText(name, L"SILENT")) {
            ok = flag(on);
            result.Mode = TUiMode::Silent;
        } else if (SameText(name, L"VERYSILENT")) {
            ok = flag(on);
            result.Mode = TUiMode::VerySilent;
        } else if (SameText(name, L"SUPPRESSMSGBOXES")) {
            ok = flag(result.SuppressMsgBoxes);
        } else if (SameText(name, L"DIR")) {
            ok = text(result.Dir);
        } else if (SameText(name, L"NODRIVER")) {
            ok = flag(result.NoDriver);
        } else if (SameText(name, L"WINDOWSXP")) {
            ok = flag(result.WindowsXP);
        } else if (SameText(name, L"LOG")) {
            ok = text(result.Log);
        } else if (SameText(name, L"UNINSTALL")) {
            ok = flag(result.Uninstall);
        } else if (SameText(name, L"FINISHUNINSTALL")) {
            std::optional<std::wstring> id;
            ok = text(id);
            if (ok) {
                unsigned long number = 0;
                for (wchar_t c : *id) {
                    if (c < L'0' || c > L'9' || number > 0xFFFFFFFFul / 10) {
                        result.Error = L"Параметру /" + name + L" нужен номер процесса: " + Quoted(argument);
                        return;
                    }
                    number = number * 10 + static_cast<unsigned long>(c - L'0');
                }
                result.FinishUninstall = number;
            }
        } else if (name == L"?" || SameText(name, L"HELP")) {
            ok = flag(result.Help);
        } else {
            result.Error = UnknownSwitch + Quoted(argument);
            return;
        }
        if (!ok)
            return;
    }
}

} // namespace

std::vector<std::wstring> SplitArguments(std::wstring_view arguments) {
    return Split(arguments).Arguments;
}

std::wstring_view SkipProgramName(std::wstring_view commandLine) {
    std::size_t i = 0;
    while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t'))
        ++i;
    // The program's name ends at the closing quote when it starts with one, else at the first blank: the
    // system's own rule, which knows no escapes here.
    if (i < commandLine.size() && commandLine[i] == L'"') {
        const std::size_t close = commandLine.find(L'"', i + 1);
        i = close == std::wstring_view::npos ? commandLine.size() : close + 1;
    }
    while (i < commandLine.size() && commandLine[i] != L' ' && commandLine[i] != L'\t')
        ++i;
    return commandLine.substr(i);
}

TCommandLine ParseCommandLine(std::wstring_view arguments) {
    TCommandLine result;
    TSplitArguments split = Split(arguments);
    // What follows an unclosed quote ran together into the last argument: it is no switch of anyone's.
    std::wstring unclosed;
    if (split.Unclosed && !split.Arguments.empty()) {
        unclosed = std::move(split.Arguments.back());
        split.Arguments.pop_back();
    }
    ReadSwitches(split.Arguments, result);
    if (result.Error.empty() && split.Unclosed)
        result.Error = L"Не закрыта кавычка в параметре командной строки: " + Quoted(unclosed);
    if (!result.Error.empty()) {
        // A refused line does nothing: of what was read before the refusal only the switches that say how to
        // report it are kept.
        result.Dir.reset();
        result.NoDriver = false;
        result.WindowsXP = false;
        result.Help = false;
        result.Uninstall = false;
        result.FinishUninstall.reset();
    }
    return result;
}

bool NamesQuietSwitch(std::wstring_view arguments) {
    // Quotes are no part of a name: the parser reads /VERY"SILENT" as /VERYSILENT.
    std::wstring text(arguments);
    std::erase(text, L'"');
    for (const std::wstring_view name :
         {std::wstring_view(L"VERYSILENT"), std::wstring_view(L"SUPPRESSMSGBOXES")})
        for (std::size_t i = 0; i + name.size() < text.size(); ++i)
            if ((text[i] == L'/' || text[i] == L'-') &&
                SameText(std::wstring_view(text).substr(i + 1, name.size()), name))
                return true;
    return false;
}

namespace {

// The help's lines: each switch an administrator may give (not /FINISHUNINSTALL, which only the uninstaller
// gives its own copy), and what each exit code means.
struct THelpLine {
    const wchar_t* Item;
    const wchar_t* Text;
};
constexpr THelpLine SwitchHelp[] = {
    {L"/SILENT", L"показывать только ход установки или удаления, ни о чём не спрашивать"},
    {L"/VERYSILENT", L"не показывать окон мастера; ошибку показывать в окне сообщения, если не задан "
                     L"/SUPPRESSMSGBOXES"},
    {L"/SUPPRESSMSGBOXES", L"отвечать на вопросы так, чтобы работа шла дальше; ошибки только в журнал"},
    {L"/DIR=\"папка\"", L"папка комплекса, полным путём"},
    {L"/NODRIVER", L"не устанавливать драйвер интерфейсного блока"},
    {L"/WINDOWSXP", L"файлы сервера базы данных для Windows XP"},
    {L"/LOG=\"файл\"", L"куда писать журнал"},
    {L"/UNINSTALL", L"удалить комплекс (папки DTAfb с базой данных и Settings сохраняются)"},
    {L"/? или /HELP", L"эта справка, в окне сообщения при любых других параметрах"},
};

// Every code of TExitCode needs its line: a switch without a default does not compile without one.
const wchar_t* ExitCodeHelp(TExitCode code) {
    switch (code) {
    case ecInstalled:
        return L"установка или удаление выполнены, или удалять было нечего";
    case ecBadCommandLine:
        return L"ошибка в командной строке или в папке /DIR: ничего не сделано";
    case ecNotInstalled:
        return L"установка отменена до её начала или удаление отклонено";
    case ecRunFailed:
        return L"установка или удаление прерваны ошибкой либо выполнены не полностью: причина в журнале";
    case ecAnotherRun:
        return L"с той же папкой уже работает другая установка или удаление: ничего не сделано";
    }
    return L"";
}

} // namespace

std::wstring CommandLineHelp() {
    std::wstring text = L"Установка и удаление комплекса «Тессаро-Холтер» без участия пользователя.\r\n"
                        L"\r\n"
                        L"Параметры:\r\n";
    for (const THelpLine& line : SwitchHelp)
        text += std::wstring(L"  ") + line.Item + L"  " + line.Text + L"\r\n";
    text += L"\r\nКоды завершения:\r\n";
    for (const TExitCode code : ExitCodes)
        text += L"  " + std::to_wstring(static_cast<int>(code)) + L"  " + ExitCodeHelp(code) + L"\r\n";
    return text;
}
