#include "src/signing_texts.h"

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
    {L"Нет файла %1. Выберите папку профиля, в которой лежат author.p12 и distributor.p12.",
     L"There is no file %1. Choose the profile folder that holds author.p12 and "
     L"distributor.p12."},
    {L"Пароль не подходит к файлу %1. Введите пароль, заданный для него в Certificate Manager.",
     L"The password does not open %1. Type the password set for it in Certificate Manager."},
    {L"Файл %1 — не файл ключа PKCS#12 (или он повреждён). Выберите папку профиля, созданного "
     L"в Certificate Manager.",
     L"%1 is not a PKCS#12 key file (or it is damaged). Choose the folder of a profile made in "
     L"Certificate Manager."},
    {L"В файле %1 нет закрытого ключа. Создайте профиль в Certificate Manager заново.",
     L"%1 holds no private key. Make the profile again in Certificate Manager."},
    {L"В файле %1 нет сертификата ключа. Создайте профиль в Certificate Manager заново.",
     L"%1 holds no certificate for its key. Make the profile again in Certificate Manager."},
    {L"Срок действия сертификата в %1 истёк %2. Создайте новый профиль в Certificate Manager "
     L"(сертификат действует около года).",
     L"The certificate in %1 expired on %2. Make a new profile in Certificate Manager (a "
     L"certificate lasts about a year)."},
    {L"Сертификат в %1 начинает действовать только %2 (по часам этого ПК). Проверьте дату и "
     L"время на ПК и на телевизоре: телевизор тоже сверяет сертификат со своими часами.",
     L"The certificate in %1 is valid only from %2 (by this PC's clock). Check the date and time "
     L"of this PC and of the TV: the TV checks the certificate against its own clock too."},
    {L"В папке %1 файлы author.p12 и distributor.p12 перепутаны местами. Верните им их имена "
     L"(сертификат дистрибьютора выдан на TizenSDK).",
     L"In %1 the files author.p12 and distributor.p12 are swapped. Give them back their names "
     L"(the distributor certificate is issued to TizenSDK)."},
    {L"Телевизор %1 не сообщил свой DUID (ответ в %2). Проверьте, что он включён и в режиме "
     L"разработчика, и попробуйте снова.",
     L"The TV at %1 did not tell its DUID (its answer is in %2). Check that it is on and in "
     L"developer mode, and try again."},
    {L"Профиль в %2 сделан не для этого телевизора: его DUID %1 нет ни в сертификате "
     L"дистрибьютора, ни в device-profile.xml. В Certificate Manager создайте сертификат "
     L"дистрибьютора заново, добавив DUID %1 в список устройств (DUID виден и на ТВ: Меню > "
     L"Поддержка > Обращение в Samsung), и выберите этот профиль.",
     L"The profile in %2 is not made for this TV: its DUID %1 is neither in the distributor "
     L"certificate nor in device-profile.xml. In Certificate Manager, make the distributor "
     L"certificate again with DUID %1 added to its devices (the TV shows it too: Menu > Support "
     L"> Contact Samsung), and choose that profile."},
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
    {L"Телевизор считает сертификат профиля просроченным. Проверьте дату на телевизоре или "
     L"создайте новый профиль в Certificate Manager.",
     L"The TV finds the profile's certificate expired. Check the TV's date, or make a new "
     L"profile in Certificate Manager."},
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
