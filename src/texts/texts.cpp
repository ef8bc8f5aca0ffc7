#include "src/texts/texts.h"

#include <array>

#include "src/texts/manual.h"

namespace {

// clang-format off
constexpr TextRow rows[] = {
    {msgInstalling,
     L"Выполняется установка виджета",
     L"Widget installation in progress"},
    {msgLanguage,
     L"Язык",
     L"Language"},
    {msgPcIp,
     L"IP Адрес ПК",
     L"IP Address PC"},
    {msgIpNote,
     L"* Если отображается более одного IP адреса - используйте тот который расположен в "
     L"одной подсети с ТВ",
     L"* If more than one IP address is displayed, use the one located on the same subnet "
     L"as the TV."},
    {msgRefreshIp,
     L"Обновить IP",
     L"Refresh IP"},
    {msgTvSeries,
     L"Серия ТВ",
     L"Series TV"},
    {msgInstallBtn,
     L"Установить Виджет",
     L"Widget Install"},
    {msgTvIp,
     L"IP Адрес телевизора",
     L"IP Address TV"},
    {msgInstallGroup,
     L"Установка Виджета",
     L"Widget Installation"},
    {msgPrompt,
     L"Введите IP вашего ТВ, Выберите его серию, Нажмите \"Установить виджет\"",
     L"Enter the IP of your TV, Select its series, Click \"Install Widget\""},
    {msgInstallDone,
     L"Процесс установки завершен. Проверьте наличие виджета в SmartHub Вашего ТВ.",
     L"Installation process is complete. Check presence of widget in SmartHub of Your TV."},
    {msgBadTvIp,
     L"IP Адрес ТВ не задан или имеет не верный формат.",
     L"IP Address TV is not set or has the wrong format."},
    {msgManualTitle,
     L"Инструкция по установке",
     L"Installation manual"},
    {msgManualText,
     russianManual,
     englishManual},
    {msgInstallFailed,
     L"При установке виджета произошли ошибки. Установка не выполнена.",
     L"There were errors while installing the widget. Installation failed."},
    {msgFileHeld,
     L"Не удаётся записать файл \"%1\": он занят другой программой. Закройте другие "
     L"копии установщика и программы для работы с телевизором или перезагрузите компьютер, "
     L"затем попробуйте снова.",
     L"Cannot write the file \"%1\": another program is using it. Close other copies of the "
     L"installer and any TV tools, or restart the computer, then try again."},
    {msgFileNotWritable,
     L"Не удаётся записать файл \"%1\" в эту папку. Скопируйте установщик в папку, куда "
     L"можно записывать (например, «Документы» или «Рабочий стол»), и запустите его оттуда.",
     L"Cannot write the file \"%1\" in this folder. Copy the installer to a folder you can "
     L"write to (such as Documents or the Desktop) and run it from there."},
    {msgLogMissing,
     L"Журнал %1 не удалось записать: возможно, он открыт в другой программе или защищён от "
     L"записи. Закройте его и повторите установку.",
     L"The log %1 could not be written: it may be open in another program or read-only. "
     L"Close it and install again."},
    {msgLogEmpty,
     L"Журнал %1 пуст: телевизор не ответил на команду установки.",
     L"The log %1 is empty: the TV gave no answer to the install command."},
    {msgLogUnrecognised,
     L"В журнале %1 нет знакомых программе строк. Откройте его и прочтите ответ телевизора.",
     L"The log %1 holds no line this program recognises. Open it and read the TV's answer."},
    {msgCheckingTv,
     L"Проверка телевизора %1…",
     L"Checking the TV at %1…"},
    {msgVerdictStandby,
     L"Телевизор %1 в режиме ожидания. Включите его кнопкой на пульте и подождите, пока он "
     L"полностью загрузится (пункт 1.7 инструкции).",
     L"The TV at %1 is in standby. Switch it on with the remote and wait until it has fully "
     L"started (manual step 1.7)."},
    {msgVerdictDeveloperOff,
     L"На телевизоре %1 режим разработчика выключен или включён, но ещё не действует. "
     L"Включите его (пункты 1.1–1.4 инструкции), затем выключите телевизор из розетки на "
     L"минуту и включите снова (пункты 1.5–1.7).",
     L"Developer mode on the TV at %1 is off, or switched on but not active yet. Switch it on "
     L"(manual steps 1.1–1.4), then unplug the TV for a minute and switch it on again (steps "
     L"1.5–1.7)."},
    {msgVerdictNotActive,
     L"Режим разработчика на телевизоре %1 включён для этого ПК, но ещё не действует. "
     L"Выключите телевизор из розетки на минуту и включите снова (пункты 1.5–1.7 "
     L"инструкции).",
     L"Developer mode on the TV at %1 is set for this PC but not active yet. Unplug the TV "
     L"for "
     L"a minute and switch it on again (manual steps 1.5–1.7)."},
    {msgVerdictReversed,
     L"Телевизор %1 записал адрес ПК задом наперёд: %2 вместо %3 (так бывает, когда меню "
     L"телевизора читается справа налево). Введите в поле \"Host PC IP\" адрес задом "
     L"наперёд, %2, или переключите меню телевизора на английский язык и введите %3 (пункт "
     L"1.3 инструкции).",
     L"The TV at %1 stored this PC's address reversed: %2 instead of %3 (its menu reads right "
     L"to left). Enter the address reversed, %2, in \"Host PC IP\", or switch the TV's menu "
     L"to English while you enter %3 (manual step 1.3)."},
    {msgVerdictLoopback,
     L"В поле \"Host PC IP\" телевизора %1 записан адрес 127.0.0.1 (его оставила другая "
     L"программа). Введите туда адрес этого ПК: %2 (пункт 1.3 инструкции), затем выключите "
     L"телевизор из розетки на минуту (пункты 1.5–1.7).",
     L"The TV at %1 has 127.0.0.1 in \"Host PC IP\" (left there by another program). Enter "
     L"this PC's address there: %2 (manual step 1.3), then unplug the TV for a minute (steps "
     L"1.5–1.7)."},
    {msgVerdictOtherHost,
     L"Телевизор %1 принимает установку только с компьютера с адресом %2, а адрес этого ПК: "
     L"%3. Введите адрес этого ПК в поле \"Host PC IP\" режима разработчика на телевизоре "
     L"(пункты 1.1–1.7 инструкции).",
     L"The TV at %1 accepts installations only from the computer at %2, and this PC's "
     L"address is %3. Enter this PC's address in \"Host PC IP\" in the TV's developer mode "
     L"(manual steps 1.1–1.7)."},
    {msgVerdictNothing,
     L"По адресу %1 не отвечает ни один телевизор. Проверьте адрес (пункт 2 инструкции), что "
     L"телевизор включён и подключён к той же сети, что и этот ПК.",
     L"No TV answers at %1. Check the address (manual part 2), and that the TV is on and on "
     L"the same network as this PC."},
    {msgInstallAnyway,
     L"Всё равно установить?",
     L"Install anyway?"},
    {msgNoAddresses,
     L"(адресов нет)",
     L"(none)"},
    {msgCauseNoConnection,
     L"Телевизор %1 не принял подключение. Проверьте, что на нём включён режим разработчика "
     L"с адресом этого ПК в поле \"Host PC IP\" (пункты 1.1–1.7 инструкции).",
     L"The TV at %1 did not accept the connection. Check that its developer mode is on with "
     L"this PC's address in \"Host PC IP\" (manual steps 1.1–1.7)."},
    {msgCauseDropped,
     L"Телевизор %1 прервал соединение. Выключите его из розетки на минуту, включите снова и "
     L"повторите установку.",
     L"The TV at %1 dropped the connection. Unplug it for a minute, switch it on again and "
     L"install again."},
    {msgCauseTwoTargets,
     L"К программе связи с телевизором подключено ещё одно устройство или эмулятор. Закройте "
     L"средства разработки для ТВ и эмуляторы и повторите установку.",
     L"Another device or emulator is attached to the TV bridge. Close TV development tools "
     L"and emulators, then install again."},
    {msgCauseWrongSeriesYear,
     L"Телевизор не принял пакет: выбрана не та серия. Это телевизор %1 года, его серия — "
     L"%2. Выберите её и повторите установку.",
     L"The TV refused the package: the wrong series is selected. This TV is from %1, its "
     L"series is %2. Select it and install again."},
    {msgCauseWrongSeries,
     L"Телевизор не принял пакет: скорее всего, выбрана не та серия. Выберите другую серию и "
     L"повторите установку.",
     L"The TV refused the package: most likely the wrong series is selected. Select the other "
     L"series and install again."},
    {msgCauseCertificateNew,
     L"Этот телевизор (%1 года) устанавливает только пакеты, подписанные сертификатом "
     L"Samsung, "
     L"выпущенным для этого телевизора, а этот пакет им не подписан.",
     L"This TV (from %1) installs only packages signed with a Samsung certificate made for "
     L"this TV, and this package is not."},
    {msgCauseCertificate,
     L"Телевизор не принял подпись пакета.",
     L"The TV refused the package's signature."},
    {msgCauseClock,
     L"Часы телевизора показывают дату раньше начала действия сертификата пакета. Установите "
     L"на телевизоре правильные дату и время и повторите установку.",
     L"The TV's clock is set before the package's certificate starts. Set the right date and "
     L"time on the TV and install again."},
    {msgCauseAuthor,
     L"На телевизоре уже установлена копия этого виджета от другого автора. Удалите её на "
     L"телевизоре и повторите установку.",
     L"A copy of this widget from another author is installed on the TV. Remove it on the TV "
     L"first, then install again."},
    {msgCauseTizenTooOld,
     L"Система Tizen на этом телевизоре старее, чем нужна виджету.",
     L"The TV's Tizen is older than the widget needs."},
    {msgCauseNotPermitted,
     L"Телевизор не разрешает эту установку.",
     L"The TV does not permit this installation."},
    {msgFoundReady,
     L"готов к установке",
     L"ready to install"},
    {msgFoundStandby,
     L"в режиме ожидания",
     L"in standby"},
    {msgFoundDeveloperOff,
     L"режим разработчика выключен",
     L"developer mode off"},
    {msgFoundNotActive,
     L"режим разработчика ещё не действует",
     L"developer mode not active yet"},
    {msgFoundReversed,
     L"Host PC IP записан задом наперёд (%1)",
     L"Host PC IP stored reversed (%1)"},
    {msgFoundLoopback,
     L"в Host PC IP записан 127.0.0.1",
     L"Host PC IP is 127.0.0.1"},
    {msgFoundOtherHost,
     L"Host PC IP другого компьютера (%1)",
     L"Host PC IP is another computer (%1)"},
    {msgFoundNotTv,
     L"не телевизор Samsung",
     L"not a Samsung TV"},
    {msgFoundSilent,
     L"не отвечает",
     L"not answering"},
    {msgCauseCertificateExpired,
     L"Телевизор считает, что срок действия сертификата пакета истёк. Проверьте дату и время "
     L"на телевизоре; если они верны, пакет нужно подписать заново действующим сертификатом.",
     L"The TV says a certificate of the package has expired. Check the TV's date and time; if "
     L"they are right, the package must be signed again with a valid certificate."},
    {msgFolderUnspellable,
     L"Программа связи с телевизором не может работать из папки \"%1\": в её пути есть "
     L"буквы, которых нет в кодировке Windows для программ без поддержки Юникода. Скопируйте "
     L"установщик в папку C:\\Quorvex и запустите его оттуда.",
     L"The TV bridge tool cannot work from the folder \"%1\": its path holds letters outside "
     L"the code page Windows uses for non-Unicode programs. Copy the installer to C:\\Quorvex "
     L"and start it there."},
    {msgCauseServerNotStarted,
     L"Программа связи с телевизором не смогла запустить свой сервер: путь к папке "
     L"установщика содержит буквы, которых нет в кодировке Windows для программ без "
     L"поддержки Юникода. Скопируйте установщик в папку C:\\Quorvex и запустите его оттуда.",
     L"The TV bridge tool could not start its server: the path of the installer's folder "
     L"holds letters outside the code page Windows uses for non-Unicode programs. Copy the "
     L"installer to C:\\Quorvex and start it there."},
    {msgCauseToolBlocked,
     L"Программа связи с телевизором iu.exe была удалена или заблокирована сразу после "
     L"записи, скорее всего антивирусом. Разрешите файл iu.exe в антивирусе или добавьте "
     L"папку \"%1\" в его исключения, затем повторите установку.",
     L"The TV bridge tool iu.exe was removed or blocked right after it was written, most "
     L"likely by an antivirus. Allow the file iu.exe in the antivirus, or add the folder "
     L"\"%1\" to its exclusions, then install again."},
    {msgProfileFileMissing,
     L"В папке профиля нет файла %1. Выберите папку профиля сертификатов Samsung, в которой "
     L"есть author.p12 и distributor.p12 (Certificate Manager в Tizen Studio создаёт её в "
     L"%USERPROFILE%\\SamsungCertificate\\<имя профиля>).",
     L"The profile folder has no file %1. Choose the folder of a Samsung certificate profile "
     L"that holds author.p12 and distributor.p12 (Tizen Studio's Certificate Manager makes it "
     L"in %USERPROFILE%\\SamsungCertificate\\<profile name>)."},
    {msgProfileFileTooLarge,
     L"Файл %1 слишком велик для файла профиля сертификатов: настоящие author.p12, "
     L"distributor.p12 и device-profile.xml занимают несколько килобайт. Выберите папку "
     L"профиля, созданную Certificate Manager в Tizen Studio.",
     L"%1 is too large to be a file of a certificate profile: a real author.p12, "
     L"distributor.p12 or device-profile.xml takes a few kilobytes. Choose the profile folder "
     L"made by Tizen Studio's Certificate Manager."},
    {msgProfileWrongPassword,
     L"Пароль не открывает файл %1. Введите пароль, заданный для этого файла при создании "
     L"профиля в Certificate Manager (у author.p12 и distributor.p12 пароли могут быть "
     L"разными).",
     L"The password does not open %1. Type the password given to this file when the profile "
     L"was made in Certificate Manager (author.p12 and distributor.p12 may have different "
     L"passwords)."},
    {msgProfileNoPassword,
     L"Для файла %1 не введён пароль, а без пароля он не открывается. Введите пароль, "
     L"заданный при создании профиля в Certificate Manager.",
     L"No password was typed for %1, and it does not open without one. Type the password "
     L"given when the profile was made in Certificate Manager."},
    {msgProfileNotKeyFile,
     L"Файл %1 не является файлом PKCS#12 с закрытым ключом и его сертификатом (или "
     L"повреждён). Выберите папку профиля, созданного в Certificate Manager, или создайте "
     L"профиль заново.",
     L"%1 is not a PKCS#12 file holding a private key and its certificate (or it is "
     L"damaged). Choose the folder of a profile made in Certificate Manager, or make the "
     L"profile again."},
    {msgProfileSwapped,
     L"В файле %1 лежит сертификат другой роли: похоже, author.p12 и distributor.p12 "
     L"перепутаны. Сертификат автора выдан центром «Author», сертификат дистрибьютора "
     L"называется TizenSDK. Верните файлам правильные имена или выберите другую папку "
     L"профиля.",
     L"%1 holds the certificate of the other role: author.p12 and distributor.p12 seem "
     L"swapped. The author certificate is issued by an \"Author\" CA, the distributor "
     L"certificate is named TizenSDK. Give the files their right names or choose another "
     L"profile folder."},
    {msgProfileExpired,
     L"Срок действия сертификата в %1 истёк %3 (он действовал с %2). Создайте новый профиль "
     L"в Certificate Manager в Tizen Studio и выберите его.",
     L"The certificate in %1 expired on %3 (it was valid from %2). Make a new profile in "
     L"Tizen Studio's Certificate Manager and choose it."},
    {msgProfileNotYetValid,
     L"Сертификат в %1 начнёт действовать только %2 (и будет действовать до %3). Проверьте "
     L"дату и время этого ПК и телевизора: телевизор сверяет срок по своим часам, и раньше "
     L"%2 он сертификат не примет.",
     L"The certificate in %1 becomes valid only on %2 (and stays valid until %3). Check the "
     L"date and time of this PC and of the TV: the TV checks the dates by its own clock and "
     L"will not take the certificate before %2."},
    {msgProfileDuidNotListed,
     L"Профиль не разрешает установку на этот телевизор: его DUID %1 нет ни в сертификате "
     L"дистрибьютора, ни в device-profile.xml (в профиле указаны: %2). В Certificate Manager "
     L"в Tizen Studio создайте новый сертификат дистрибьютора, добавив в него DUID %1, и "
     L"выберите новый профиль.",
     L"The profile does not permit this TV: its DUID %1 is neither in the distributor "
     L"certificate nor in device-profile.xml (the profile lists: %2). In Tizen Studio's "
     L"Certificate Manager, make a new distributor certificate listing the DUID %1, and "
     L"choose the new profile."},
    {msgProfileNoDuids,
     L"ни одного",
     L"none"},
    {msgNeedsProfile,
     L"Телевизор %1 (модель %2 года) устанавливает только виджет, подписанный сертификатом "
     L"Samsung его владельца. Выберите папку своего профиля сертификата (author.p12 и "
     L"distributor.p12): программа подпишет им виджет перед установкой.",
     L"The TV at %1 (a %2 model) installs only a widget signed with its owner's Samsung "
     L"certificate. Choose the folder of your certificate profile (author.p12 and "
     L"distributor.p12): the program signs the widget with it before installing."},
    {msgAfterRefusal,
     L"Телевизор %1 устанавливает только виджет, подписанный сертификатом Samsung его "
     L"владельца. Выбрать папку своего профиля сертификата и установить снова?",
     L"The TV at %1 installs only a widget signed with its owner's Samsung certificate. Choose "
     L"the folder of your certificate profile and install again?"},
    {msgUseRemembered,
     L"Подписать виджет профилем сертификата из папки\n%1?\n\n«Нет» — выбрать другую папку.",
     L"Sign the widget with the certificate profile in\n%1?\n\n\"No\" chooses another folder."},
    {msgChooseNow,
     L"Выбрать папку профиля сейчас? («Нет» — ничего не устанавливать.)",
     L"Choose the profile folder now? (\"No\" installs nothing.)"},
    {msgChooseFolder,
     L"Папка профиля сертификата Samsung (author.p12, distributor.p12)",
     L"Samsung certificate profile folder (author.p12, distributor.p12)"},
    {msgPasswordTitle,
     L"Пароли профиля сертификата",
     L"Certificate profile passwords"},
    {msgPasswordIntro,
     L"Пароли файлов author.p12 и distributor.p12 из папки\n%1\n(заданы при создании профиля в "
     L"Certificate Manager). Пароли нигде не сохраняются.",
     L"The passwords of author.p12 and distributor.p12 in\n%1\n(set when the profile was made in "
     L"Certificate Manager). They are not stored anywhere."},
    {msgAuthorPassword,
     L"Пароль author.p12:",
     L"author.p12 password:"},
    {msgDistributorPassword,
     L"Пароль distributor.p12:",
     L"distributor.p12 password:"},
    {msgOk,
     L"ОК",
     L"OK"},
    {msgCancel,
     L"Отмена",
     L"Cancel"},
    {msgNoDuid,
     L"Телевизор %1 не сообщил свой DUID (ответ в %2). Проверьте, что он включён и в режиме "
     L"разработчика, и попробуйте снова.",
     L"The TV at %1 did not tell its DUID (its answer is in %2). Check that it is on and in "
     L"developer mode, and try again."},
    {msgSigningFailed,
     L"Не удалось подписать виджет: %1",
     L"The widget could not be signed: %1"},
    {msgProfilePushFailed,
     L"Телевизор не принял device-profile.xml: %1",
     L"The TV did not take device-profile.xml: %1"},
    {msgOtherAuthor,
     L"На телевизоре уже установлен этот виджет, подписанный другим автором. Удалить ту копию "
     L"(её данные будут потеряны) и установить виджет?",
     L"This widget is already installed on the TV, signed by another author. Remove that copy "
     L"(its data is lost) and install the widget?"},
    {msgCauseNotForThisTv,
     L"Телевизор отверг подпись: профиль из %1 сделан не для этого телевизора (или не "
     L"сертификатом Samsung). Создайте в Certificate Manager профиль Samsung с DUID этого "
     L"телевизора.",
     L"The TV refused the signature: the profile in %1 is not made for this TV (or not with a "
     L"Samsung certificate). Make a Samsung profile with this TV's DUID in Certificate Manager."},
    {msgCauseSignatureMismatch,
     L"Подпись виджета не совпадает с его файлами или ключом. Установите виджет снова; если "
     L"ошибка повторится, создайте профиль заново.",
     L"A signature of the widget does not match its files or key. Install again; if it happens "
     L"again, make the profile again."},
    {msgCauseUnsignedFile,
     L"В виджете есть файл, не охваченный подписью. Установите снова из этой программы.",
     L"The widget holds a file no signature covers. Install again from this program."},
    {msgCauseNotYetValid,
     L"По часам телевизора сертификат профиля ещё не действует. Установите на телевизоре "
     L"верные дату и время и повторите установку.",
     L"By the TV's clock the profile's certificate is not valid yet. Set the TV's date and time "
     L"right and install again."},
    {msgWaitOffer,
     L"\"Да\": ждать телевизор и установить виджет, как только он будет готов.\n"
     L"\"Нет\": всё равно установить сейчас.\n"
     L"\"Отмена\": ничего не делать.",
     L"\"Yes\": wait for the TV and install as soon as it is ready.\n"
     L"\"No\": install now anyway.\n"
     L"\"Cancel\": do nothing."},
    {msgWaitRestart,
     L"Перезагрузите ТВ: выньте вилку из розетки на 30 секунд и включите его. "
     L"Ждём %1\u00A0из\u00A0%2",
     L"Restart the TV: unplug it for 30 seconds, then switch it on. Waiting %1\u00A0of\u00A0%2"},
    {msgWaitDeveloperOff,
     L"Включите режим разработчика, затем выньте вилку ТВ на 30 секунд и включите его. "
     L"Ждём %1\u00A0из\u00A0%2",
     L"Switch developer mode on, then unplug the TV for 30 seconds and switch it on. "
     L"Waiting %1\u00A0of\u00A0%2"},
    {msgWaitRestart2025,
     L"Выньте вилку ТВ на 30 секунд и включите его. Не помогло — выключите и включите режим "
     L"разработчика и повторите. Ждём %1\u00A0из\u00A0%2",
     L"Unplug the TV for 30 seconds, then switch it on. Still refused: switch developer mode "
     L"off and on, then unplug it again. Waiting %1\u00A0of\u00A0%2"},
    {msgWaitStandby,
     L"Телевизор в режиме ожидания: включите его кнопкой на пульте. Ждём %1\u00A0из\u00A0%2",
     L"The TV is in standby: switch it on with the remote. Waiting %1\u00A0of\u00A0%2"},
    {msgWaitNothing,
     L"Телевизор %3 не отвечает: включите его или дождитесь, пока он загрузится. "
     L"Ждём %1\u00A0из\u00A0%2",
     L"No TV answers at %3 yet: switch it on, or let it finish starting. "
     L"Waiting %1\u00A0of\u00A0%2"},
    {msgWaitGaveUp,
     L"Телевизор не стал готов к установке за %1 ожидания.",
     L"The TV was not ready to install after %1 of waiting."},
    {msgCauseNoRoom,
     L"На телевизоре не хватает места для виджета. Освободите место: Настройки > Поддержка > "
     L"Обслуживание устройства > Управление хранилищем (Settings > Support > Device Care > "
     L"Manage Storage), удалите там ненужные приложения и повторите установку. Дело не в "
     L"серии телевизора, а установка без освобождения места не поможет.",
     L"The TV has no room for the widget. Free space on the TV: Settings > Support > Device "
     L"Care > Manage Storage, remove apps you do not need there, then install again. It is "
     L"not the TV series, and installing again without freeing space does not help."},
    {msgCausePartnerPrivilege,
     L"Виджет объявляет привилегию, для которой нужен сертификат уровня partner, а профиль "
     L"сертификата уровня public (такой Certificate Manager создаёт для любого) установить "
     L"его не может. Нужна версия виджета без этой привилегии или подписанная сертификатом "
     L"partner; повторная установка не поможет.",
     L"The widget declares a privilege that needs a partner-level certificate, and a "
     L"public-level certificate profile (what Certificate Manager makes for anyone) cannot "
     L"install it. It takes a version of the widget without that privilege, or one signed "
     L"with a partner certificate; installing again does not help."},
};
// clang-format on

// A row is found by its id: one out of place would show another text.
constexpr bool everyRowInItsPlace() {
    for (int i = 0; i < textCount; ++i) {
        if (rows[i].id != i || rows[i].russian == nullptr || rows[i].english == nullptr)
            return false;
    }
    return std::size(rows) == textCount;
}
static_assert(everyRowInItsPlace(), "the rows must follow the order of TextId, one for each");

}  // namespace

std::span<const TextRow> textRows() {
    return rows;
}

const std::wstring& text(TextId id, Language language) {
    // Built once, at the first text asked for, and kept for the life of the process.
    static const auto built = [] {
        std::array<std::array<std::wstring, 2>, textCount> table;
        for (const auto& row : rows)
            table[static_cast<size_t>(row.id)] = {row.russian, row.english};
        return table;
    }();
    return built[static_cast<size_t>(id)][language == Language::russian ? 0 : 1];
}

std::wstring fillIn(std::wstring text, std::initializer_list<std::wstring_view> values) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 1 < text.size() && text[i + 1] >= L'1' && text[i + 1] <= L'9') {
            const auto index = static_cast<size_t>(text[i + 1] - L'1');
            if (index < values.size()) {
                // Inserted values are never scanned again: a "%1" inside one stays as it is.
                out += *(values.begin() + index);
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}
