#include "src/texts/signing_texts.h"

#include <array>

namespace {

struct Pair {
    const wchar_t* russian;
    const wchar_t* english;
};

constexpr std::array<Pair, sgnTextCount> texts = {{
    {L"Телевизор %1 (модель %2 года) устанавливает только виджет, подписанный сертификатом "
     L"Samsung его владельца. Выберите папку своего профиля сертификата (author.p12 и "
     L"distributor.p12): программа подпишет им виджет перед установкой.",
     L"The TV at %1 (a %2 model) installs only a widget signed with its owner's Samsung "
     L"certificate. Choose the folder of your certificate profile (author.p12 and "
     L"distributor.p12): the program signs the widget with it before installing."},
    {L"Телевизор %1 устанавливает только виджет, подписанный сертификатом Samsung его "
     L"владельца. Выбрать папку своего профиля сертификата и установить снова?",
     L"The TV at %1 installs only a widget signed with its owner's Samsung certificate. Choose "
     L"the folder of your certificate profile and install again?"},
    {L"Подписать виджет профилем сертификата из папки\n%1?\n\n«Нет» — выбрать другую папку.",
     L"Sign the widget with the certificate profile in\n%1?\n\n\"No\" chooses another folder."},
    {L"Выбрать папку профиля сейчас? («Нет» — ничего не устанавливать.)",
     L"Choose the profile folder now? (\"No\" installs nothing.)"},
    {L"Папка профиля сертификата Samsung (author.p12, distributor.p12)",
     L"Samsung certificate profile folder (author.p12, distributor.p12)"},
    {L"Пароли профиля сертификата", L"Certificate profile passwords"},
    {L"Пароли файлов author.p12 и distributor.p12 из папки\n%1\n(заданы при создании профиля в "
     L"Certificate Manager). Пароли нигде не сохраняются.",
     L"The passwords of author.p12 and distributor.p12 in\n%1\n(set when the profile was made in "
     L"Certificate Manager). They are not stored anywhere."},
    {L"Пароль author.p12:", L"author.p12 password:"},
    {L"Пароль distributor.p12:", L"distributor.p12 password:"},
    {L"ОК", L"OK"},
    {L"Отмена", L"Cancel"},
    {L"Телевизор %1 не сообщил свой DUID (ответ в %2). Проверьте, что он включён и в режиме "
     L"разработчика, и попробуйте снова.",
     L"The TV at %1 did not tell its DUID (its answer is in %2). Check that it is on and in "
     L"developer mode, and try again."},
    {L"Не удалось подписать виджет: %1", L"The widget could not be signed: %1"},
    {L"Телевизор не принял device-profile.xml: %1", L"The TV did not take device-profile.xml: %1"},
    {L"На телевизоре уже установлен этот виджет, подписанный другим автором. Удалить ту копию "
     L"(её данные будут потеряны) и установить виджет?",
     L"This widget is already installed on the TV, signed by another author. Remove that copy "
     L"(its data is lost) and install the widget?"},
    {L"Телевизор отверг подпись: профиль из %1 сделан не для этого телевизора (или не "
     L"сертификатом Samsung). Создайте в Certificate Manager профиль Samsung с DUID этого "
     L"телевизора.",
     L"The TV refused the signature: the profile in %1 is not made for this TV (or not with a "
     L"Samsung certificate). Make a Samsung profile with this TV's DUID in Certificate Manager."},
    {L"Подпись виджета не совпадает с его файлами или ключом. Установите виджет снова; если "
     L"ошибка повторится, создайте профиль заново.",
     L"A signature of the widget does not match its files or key. Install again; if it happens "
     L"again, make the profile again."},
    {L"В виджете есть файл, не охваченный подписью. Установите снова из этой программы.",
     L"The widget holds a file no signature covers. Install again from this program."},
    {L"По часам телевизора сертификат профиля ещё не действует. Установите на телевизоре "
     L"верные дату и время и повторите установку.",
     L"By the TV's clock the profile's certificate is not valid yet. Set the TV's date and time "
     L"right and install again."},
}};

}  // namespace

const std::wstring& signingText(SigningText id, int language) {
    // A text left out of the list above would be a null pointer here.
    static_assert(texts.back().russian != nullptr && texts.back().english != nullptr);
    static const auto table = [] {
        std::array<std::wstring, 2 * sgnTextCount> built;
        for (int i = 0; i < sgnTextCount; ++i) {
            built[2 * i] = texts[i].russian;
            built[2 * i + 1] = texts[i].english;
        }
        return built;
    }();
    return table[2 * static_cast<int>(id) + (language == 1 ? 1 : 0)];
}
