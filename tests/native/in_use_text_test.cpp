// The box about a file that other programs hold reads right with none, one and several programs named, for an
// installation and a removal alike.
#include <gtest/gtest.h>

#include "install/files/InUseText.h"

namespace {

TEST(InUseText, AgreesWithTheProgramsNamedAndSaysWhatGoesOn) {
    struct TCase {
        std::vector<std::wstring> Programs;
        bool Removal;
        const wchar_t* Question;
    };
    const TCase cases[] = {
        {{},
         false,
         L"Файл «C:\\Дедира\\fbclient.Dll» открыт другой программой.\r\n\r\nЗакройте её и нажмите «Повтор», "
         L"чтобы "
         L"продолжить установку, или «Отмена», чтобы прервать её."},
        {{L"Firebird Server"},
         false,
         L"Файл «C:\\Дедира\\fbclient.Dll» открыт другой программой: «Firebird Server».\r\n\r\nЗакройте её и "
         L"нажмите «Повтор», чтобы продолжить установку, или «Отмена», чтобы прервать её."},
        {{L"Firebird Server", L"Тессаро"},
         true,
         L"Файл «C:\\Дедира\\fbclient.Dll» открыт другими программами: «Firebird Server», «Тессаро».\r\n\r\n"
         L"Закройте их и нажмите «Повтор», чтобы продолжить удаление, или «Отмена», чтобы прервать его."},
        {{},
         true,
         L"Файл «C:\\Дедира\\fbclient.Dll» открыт другой программой.\r\n\r\nЗакройте её и нажмите «Повтор», "
         L"чтобы "
         L"продолжить удаление, или «Отмена», чтобы прервать его."},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(InUseQuestion(L"C:\\Дедира\\fbclient.Dll", c.Programs, c.Removal), c.Question)
            << &c - cases;
}

} // namespace
