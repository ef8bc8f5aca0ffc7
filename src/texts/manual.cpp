// The installation manual the window shows, in Russian and English: 18 lines each, separated by
// single line feeds, sub-items indented by two spaces; line 3 ends with a space after its quote.
#include "src/texts/manual.h"

// clang-format off
extern const wchar_t russianManual[] =
    L"1. Включить режим разработчика в ТВ:\n"
    L"  1.1. Для чего Войти в SmartHub и ввести с пульта 5 8 2 9 4.\n"
    L"  1.2. В открывшемся окне установить \"Developer Mode\"=\"ON\" \n"
    L"  1.3. В поле ввода \"Host PC IP\" ввести IP адрес ПК (из области \"IP Адрес ПК\" этой программы)\n"
    L"  1.4. Выбрать и нажать экранную кнопку ОК.\n"
    L"  1.5. Выключить телевизор из розетки.Несколько раз нажать на пульте кнопку Включения.\n"
    L"  1.6. Включить в розетку. Включить кнопкой включения на пульте\n"
    L"  1.7. Подождать 1-2 минуты пока телевизор полностью загрузится\n"
    L"2. Получить IP адрес ТВ\n"
    L"  2.1. На ТВ войти Меню->Сеть->Состояние сети\n"
    L"  2.2. По окончанию пропроверки сети выбрать \"Настройки IP\"\n"
    L"  2.3. Адрес указанный в строке \"IP-адрес\" вписать в поле \"IP Адрес телевизора\" данной программы.\n"
    L"3. Приступить непосредственно к установке виджета\n"
    L"  3.1. Проверить правильность выбора IP адреса и Серии Вашего ТВ\n"
    L"  3.2. Кликнуть по кнопке \"Установить Виджет\" и дождаться окончания процесса установки\n"
    L"  3.3. В процессе установки на вопросы бредмауэра отвечать \"НЕ БЛОКИРОВАТЬ\"\n"
    L"  3.4. По окончании процесса установки проверить наличие виджета в разделе SmartHub \"Мои App\"\n"
    L"4. Если установка не увенчалась успехом: перезагрузите ПК и ТВ, отключите брендмауэр и антивирусы блокирующие сетевое подключение, еще раз проверьте все параметры и попробуйте повторить установку.";

extern const wchar_t englishManual[] =
    L"1. Enable developer mode in TV:\n"
    L"  1.1. You need Run SmartHub and from the remote control enter 5 8 2 9 4.\n"
    L"  1.2. In the open window set \"Developer Mode\"=\"ON\" \n"
    L"  1.3. In the input field \"Host PC IP\" enter the IP address this PC (from area \"IP Address PC\" this application)\n"
    L"  1.4. Select and click screen-button OK.\n"
    L"  1.5. Turn off the TV from the outlet. Press the power button on the remote several times.\n"
    L"  1.6. Turn on the TV in the outlet. Turn on with the power button on the remote.\n"
    L"  1.7. Wait 1-2 minutes until the TV is fully loaded\n"
    L"2. Get the IP address of the TV\n"
    L"  2.1. On TV enter Menu-> Network-> Network Status\n"
    L"  2.2. At the end of the network test, select \"IP Setting\"\n"
    L"  2.3. The address specified in the line \"IP-address\" enter in the field \"IP Address TV\" this application.\n"
    L"3. Proceed directly to install the widget\n"
    L"  3.1. Check the correctness of the choice of IP address and your TV series\n"
    L"  3.2. Click on the button \"Install widget\" and wait for the installation process to finish.\n"
    L"  3.3. During the installation process, answer the questions of the Bredmauer - \"NO-BLOCKING\"\n"
    L"  3.4. At the end of the installation process, check the widget presence in the SmartHub section \"My App\"\n"
    L"4. If the installation was not successful: restart your PC and TV, disabled the firewall and the antivirus blocking the network connection, check all the parameters again and try the installation again.";
// clang-format on
