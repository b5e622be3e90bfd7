#include "support/MessageLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <limits>

#include "common/Error.h"

namespace {
std::function<TChosenScreen()>& Source() {
    static std::function<TChosenScreen()> source;
    return source;
}

constexpr double SecondsPerDay = 24.0 * 60.0 * 60.0;

double RoundHalfToEven(double value) {
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction < 0.5)
        return below;
    if (fraction > 0.5)
        return below + 1.0;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}
} // namespace

void SetChosenScreenSource(std::function<TChosenScreen()> source) {
    Source() = std::move(source);
}

std::optional<TChosenScreen> ChosenScreen() {
    if (!Source())
        return std::nullopt;
    return Source()();
}

int StopIntervalMs(std::int64_t seconds) {
    if (seconds < 0)
        throw TError(L"Время показа сообщения вне допустимого диапазона: " + std::to_wstring(seconds) +
                     L" с");
    if (seconds > std::numeric_limits<std::int32_t>::max() / 1000)
        throw TError(L"Переполнение при пересчёте времени показа сообщения в миллисекунды: " +
                     std::to_wstring(seconds) + L" с");
    return seconds == 0 ? DefaultStopIntervalMs : static_cast<int>(seconds * 1000);
}

int RemainingSeconds(int stopIntervalMs, double elapsedDays) {
    const double remaining =
        RoundHalfToEven(static_cast<double>(stopIntervalMs / 1000) - elapsedDays * SecondsPerDay);
    // A clock that jumped far must not make the conversion undefined.
    constexpr double Lowest = std::numeric_limits<int>::min();
    constexpr double Highest = std::numeric_limits<int>::max();
    if (std::isnan(remaining))
        return 0;
    return static_cast<int>(std::clamp(remaining, Lowest, Highest));
}

std::wstring CountdownText(int remainingSeconds) {
    return L"  " + std::to_wstring(remainingSeconds) + L"с";
}

int MessageWindowHeight(int messageHeight, const TMessageFormSizes& sizes) {
    return messageHeight + sizes.ButtonsHeight + sizes.CloseHeight + sizes.ExtraHeight;
}

TPoint MessageWindowPlace(const TChosenScreen& screen, int windowWidth, int windowHeight) {
    return {screen.Monitor.Left + (screen.Width - windowWidth) / 2, screen.Height / 2 - windowHeight};
}

int ScaleSize(int value, int toPixelsPerInch, int fromPixelsPerInch) {
    if (fromPixelsPerInch <= 0)
        return value;
    const std::int64_t product = static_cast<std::int64_t>(value) * toPixelsPerInch;
    const std::int64_t half = fromPixelsPerInch / 2;
    const std::int64_t scaled =
        product >= 0 ? (product + half) / fromPixelsPerInch : -((-product + half) / fromPixelsPerInch);
    return static_cast<int>(scaled);
}

TMessageFormSizes ScaledMessageFormSizes(int pixelsPerInch, const TMessageFormSizes& design) {
    auto scaled = [&](int size) { return ScaleSize(size, pixelsPerInch, MessageFormDesignPixelsPerInch); };
    TMessageFormSizes sizes = design;
    for (int* size :
         {&sizes.ClientWidth, &sizes.DesignClientHeight, &sizes.ButtonsHeight, &sizes.CancelWidth,
          &sizes.SpacerWidth, &sizes.OkWidth, &sizes.CloseGap, &sizes.CloseHeight, &sizes.StopWidth,
          &sizes.CloseLabelWidth, &sizes.SecondsWidth, &sizes.ExtraHeight, &sizes.GlyphSize})
        *size = scaled(*size);
    return sizes;
}

int FontPixels(int points, int pixelsPerInch) {
    return ScaleSize(points, pixelsPerInch, 72);
}

std::wstring WaitTitle(std::uint8_t typemessage) {
    switch (typemessage) {
    case 2:
        return L"Запись данных ЭКГ";
    case 3:
        return L"Преобразование данных ЭКГ в формат Тессаро-Холтер";
    case 4:
        return L"";
    default:
        return L"Launching ";
    }
}

TPoint WaitWindowPlace(const TRect& monitor, int windowWidth, int windowHeight) {
    return {monitor.Left + (monitor.Width - windowWidth) / 2,
            monitor.Top + std::abs(monitor.Height - windowHeight) / 2};
}

TPoint CentreInWorkArea(const TRect& workArea, int windowWidth, int windowHeight) {
    return {std::max(workArea.Left, workArea.Left + (workArea.Width - windowWidth) / 2),
            std::max(workArea.Top, workArea.Top + (workArea.Height - windowHeight) / 2)};
}
