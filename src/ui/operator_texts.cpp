// The table of the operator's texts. To translate a new text, add one row:
// the English exactly as the program shows it, then German, French,
// Spanish, Italian, Japanese and Chinese (Simplified). A text without a row
// is shown in English.
#include "ui/operator_texts.h"

#include <cstring>
#include <iterator>
#include <vector>

#include "framework/afx.h"

namespace {

// clang-format off
const OperatorText kTexts[] = {
    // The main dialog's captions and buttons.
    {"End", "Beenden", "Quitter", "Salir", "Esci", "終了", "退出"},
    {"Install", "Installieren", "Installer", "Instalar", "Installa", "インストール", "安装"},
    {"Update", "Aktualisieren", "Mettre à jour", "Actualizar", "Aggiorna", "更新", "更新"},
    {"Driver Installation", "Treiberinstallation", "Installation du pilote",
     "Instalación del controlador", "Installazione del driver", "ドライバーのインストール",
     "驱动程序安装"},
    {"%s Driver Installation", "%s-Treiberinstallation", "Installation du pilote %s",
     "Instalación del controlador %s", "Installazione del driver %s",
     "%s ドライバーのインストール", "%s 驱动程序安装"},
    {"Currently Installed Printer", "Installierte Drucker", "Imprimantes installées",
     "Impresoras instaladas", "Stampanti installate", "インストールされているプリンター",
     "已安装的打印机"},
    {"Printer to install", "Zu installierender Drucker", "Imprimante à installer",
     "Impresora que se va a instalar", "Stampante da installare", "インストールするプリンター",
     "要安装的打印机"},
    {"No Printer available!", "Kein Drucker verfügbar.", "Aucune imprimante disponible.",
     "No hay ninguna impresora disponible.", "Nessuna stampante disponibile.",
     "使用できるプリンターがありません。", "没有可用的打印机。"},

    // The status and result lines.
    {"Select the printer you want to install.",
     "Wählen Sie den Drucker aus, den Sie installieren möchten.",
     "Sélectionnez l'imprimante à installer.", "Seleccione la impresora que desea instalar.",
     "Selezionare la stampante da installare.", "インストールするプリンターを選択してください。",
     "请选择要安装的打印机。"},
    {"Press the Install button to start the installation.",
     "Klicken Sie auf „Installieren“, um die Installation zu starten.",
     "Cliquez sur Installer pour démarrer l'installation.",
     "Haga clic en Instalar para iniciar la instalación.",
     "Fare clic su Installa per avviare l'installazione.",
     "[インストール] をクリックして、インストールを開始してください。",
     "请单击“安装”开始安装。"},
    {"Press the Update button to start the installation.",
     "Klicken Sie auf „Aktualisieren“, um die Installation zu starten.",
     "Cliquez sur Mettre à jour pour démarrer l'installation.",
     "Haga clic en Actualizar para iniciar la instalación.",
     "Fare clic su Aggiorna per avviare l'installazione.",
     "[更新] をクリックして、インストールを開始してください。",
     "请单击“更新”开始安装。"},
    {"Copying the INF file.", "Die INF-Datei wird kopiert.", "Copie du fichier INF en cours.",
     "Copiando el archivo INF.", "Copia del file INF in corso.", "INF ファイルをコピーしています。",
     "正在复制 INF 文件。"},
    {"Operation completed.", "Der Vorgang wurde abgeschlossen.", "Opération terminée.",
     "Operación completada.", "Operazione completata.", "操作が完了しました。", "操作已完成。"},
    {"Updating the driver files.", "Die Treiberdateien werden aktualisiert.",
     "Mise à jour des fichiers du pilote en cours.", "Actualizando los archivos del controlador.",
     "Aggiornamento dei file del driver in corso.", "ドライバー ファイルを更新しています。",
     "正在更新驱动程序文件。"},
    {"Language Monitor backup: %s", "Sicherung des Sprachmonitors: %s",
     "Sauvegarde du moniteur de langage : %s", "Copia de seguridad del monitor de idioma: %s",
     "Backup del monitor di linguaggio: %s", "言語モニターのバックアップ: %s",
     "语言监视器备份: %s"},
    {"Driver update completed.", "Die Treiberaktualisierung wurde abgeschlossen.",
     "La mise à jour du pilote est terminée.", "Se completó la actualización del controlador.",
     "Aggiornamento del driver completato.", "ドライバーの更新が完了しました。",
     "驱动程序更新已完成。"},
    {"The INF file was copied and the driver files are  stored in the following directory: %s",
     "Die INF-Datei wurde kopiert. Die Treiberdateien befinden sich in folgendem Ordner: %s",
     "Le fichier INF a été copié. Les fichiers du pilote se trouvent dans le dossier suivant : %s",
     "Se copió el archivo INF. Los archivos del controlador están en la carpeta siguiente: %s",
     "Il file INF è stato copiato. I file del driver si trovano nella cartella seguente: %s",
     "INF ファイルをコピーしました。ドライバー ファイルは次のフォルダーにあります: %s",
     "已复制 INF 文件。驱动程序文件位于以下文件夹中: %s"},

    // The error dialog.
    {"Error", "Fehler", "Erreur", "Error", "Errore", "エラー", "错误"},
    {"OK", "OK", "OK", "Aceptar", "OK", "OK", "确定"},
    {"Error Code:", "Fehlercode:", "Code d'erreur :", "Código de error:", "Codice errore:",
     "エラー コード:", "错误代码:"},
    {"No INF file found!", "Es wurde keine INF-Datei gefunden.", "Aucun fichier INF trouvé.",
     "No se encontró ningún archivo INF.", "Nessun file INF trovato.",
     "INF ファイルが見つかりません。", "找不到 INF 文件。"},
    {"Error enumerating INF files!", "Fehler beim Auflisten der INF-Dateien.",
     "Erreur lors de l'énumération des fichiers INF.", "Error al enumerar los archivos INF.",
     "Errore durante l'enumerazione dei file INF.",
     "INF ファイルの列挙中にエラーが発生しました。", "枚举 INF 文件时出错。"},
    {"Can't get current directory!", "Der aktuelle Ordner kann nicht ermittelt werden.",
     "Impossible de déterminer le dossier actif.", "No se puede obtener la carpeta actual.",
     "Impossibile determinare la cartella corrente.", "現在のフォルダーを取得できません。",
     "无法获取当前文件夹。"},

    // The message boxes.
    {"Last Error", "Letzter Fehler", "Dernière erreur", "Último error", "Ultimo errore",
     "最後のエラー", "最近的错误"},
    {"Error Reading INF!", "Fehler beim Lesen der INF-Datei", "Erreur de lecture du fichier INF",
     "Error al leer el archivo INF", "Errore durante la lettura del file INF",
     "INF ファイルの読み取りエラー", "读取 INF 文件时出错"},
    {"Reading INF", "Lesen der INF-Datei", "Lecture du fichier INF", "Lectura del archivo INF",
     "Lettura del file INF", "INF ファイルの読み取り", "读取 INF 文件"},
    {"Error Reading Manufacturer!", "Der Hersteller kann nicht gelesen werden.",
     "Impossible de lire le fabricant.", "No se puede leer el fabricante.",
     "Impossibile leggere il produttore.", "製造元を読み取れません。", "无法读取制造商。"},
    {"Error Reading Model!", "Das Modell kann nicht gelesen werden.",
     "Impossible de lire le modèle.", "No se puede leer el modelo.",
     "Impossibile leggere il modello.", "モデルを読み取れません。", "无法读取型号。"},
    {"Error Reading Model field!", "Ein Feld des Modells kann nicht gelesen werden.",
     "Impossible de lire un champ du modèle.", "No se puede leer un campo del modelo.",
     "Impossibile leggere un campo del modello.", "モデルのフィールドを読み取れません。",
     "无法读取型号字段。"},
    {"The package has no drivers for ARM64 Windows!",
     "Das Paket enthält keine Treiber für Windows (ARM64).",
     "Le package ne contient aucun pilote pour Windows ARM64.",
     "El paquete no contiene controladores para Windows ARM64.",
     "Il pacchetto non contiene driver per Windows ARM64.",
     "このパッケージには ARM64 版 Windows 用のドライバーがありません。",
     "此程序包不包含适用于 ARM64 版 Windows 的驱动程序。"},
    {"The setup can't update drivers on ARM64 Windows!",
     "Unter Windows (ARM64) kann das Setup keine Treiber aktualisieren.",
     "Le programme d'installation ne peut pas mettre à jour les pilotes sous Windows ARM64.",
     "El programa de instalación no puede actualizar controladores en Windows ARM64.",
     "Il programma di installazione non può aggiornare i driver in Windows ARM64.",
     "ARM64 版 Windows では、セットアップでドライバーを更新できません。",
     "安装程序无法在 ARM64 版 Windows 上更新驱动程序。"},
    {"The 32-bit setup can't update drivers on 64-bit Windows!",
     "Unter 64-Bit-Windows kann das 32-Bit-Setup keine Treiber aktualisieren.",
     "Le programme d'installation 32 bits ne peut pas mettre à jour les pilotes sous Windows 64 "
     "bits.",
     "El programa de instalación de 32 bits no puede actualizar controladores en Windows de 64 "
     "bits.",
     "Il programma di installazione a 32 bit non può aggiornare i driver in Windows a 64 bit.",
     "64 ビット版 Windows では、32 ビット版のセットアップでドライバーを更新できません。",
     "32 位安装程序无法在 64 位 Windows 上更新驱动程序。"},
    {"Can't get HW ID resource text!", "Die Hardware-ID des Modells wurde nicht gefunden.",
     "Impossible de trouver l'ID matériel du modèle.",
     "No se encuentra el identificador de hardware del modelo.",
     "Impossibile trovare l'ID hardware del modello.", "モデルのハードウェア ID が見つかりません。",
     "找不到该型号的硬件 ID。"},
    {"Can't get Monitor resource text!", "Der Sprachmonitor des Modells wurde nicht gefunden.",
     "Impossible de trouver le moniteur de langage du modèle.",
     "No se encuentra el monitor de idioma del modelo.",
     "Impossibile trovare il monitor di linguaggio del modello.",
     "モデルの言語モニターが見つかりません。", "找不到该型号的语言监视器。"},
    {"Can't get pSystemDirectory name!", "Der Systemordner kann nicht ermittelt werden.",
     "Impossible de déterminer le dossier système.", "No se puede obtener la carpeta del sistema.",
     "Impossibile determinare la cartella di sistema.", "システム フォルダーを取得できません。",
     "无法获取系统文件夹。"},
    {"Can't record the pending Update!",
     "Die begonnene Aktualisierung kann nicht vermerkt werden.",
     "Impossible d'enregistrer la mise à jour en cours.",
     "No se puede registrar la actualización en curso.",
     "Impossibile registrare l'aggiornamento in corso.", "実行中の更新を記録できません。",
     "无法记录正在进行的更新。"},
    {"The path specified for FullInfPath does not exist.",
     "Der Pfad der INF-Datei ist nicht vorhanden.",
     "Le chemin d'accès du fichier INF n'existe pas.",
     "La ruta de acceso del archivo INF no existe.", "Il percorso del file INF non esiste.",
     "INF ファイルのパスが存在しません。", "INF 文件的路径不存在。"},
    {"The value specified for InstallFlags is invalid.",
     "Die angegebenen Installationsoptionen sind ungültig.",
     "Les options d'installation spécifiées ne sont pas valides.",
     "Las opciones de instalación especificadas no son válidas.",
     "Le opzioni di installazione specificate non sono valide.",
     "指定されたインストール オプションは無効です。", "指定的安装选项无效。"},
    {"The value specified for HardwareId does not match any device on the system. That is, the "
     "device is not plugged in.",
     "Kein Gerät des Systems hat die angegebene Hardware-ID. Das Gerät ist nicht angeschlossen.",
     "Aucun périphérique du système ne correspond à l'ID matériel spécifié. Le périphérique "
     "n'est pas branché.",
     "Ningún dispositivo del sistema coincide con el identificador de hardware especificado. El "
     "dispositivo no está conectado.",
     "Nessun dispositivo del sistema corrisponde all'ID hardware specificato. Il dispositivo "
     "non è collegato.",
     "指定されたハードウェア ID に一致するデバイスがシステムにありません。デバイスが接続されて"
     "いません。",
     "系统中没有与指定硬件 ID 匹配的设备。该设备未连接。"},
    {"The routine found a match for the HardwareId value, but the specified driver was not "
     "better than the current driver and the caller did not specify the INSTALLFLAG_FORCE flag.",
     "Ein passendes Gerät wurde gefunden, aber der angegebene Treiber ist nicht besser als der "
     "aktuelle Treiber.",
     "Un périphérique correspondant a été trouvé, mais le pilote spécifié n'est pas meilleur "
     "que le pilote actuel.",
     "Se encontró un dispositivo coincidente, pero el controlador especificado no es mejor que "
     "el actual.",
     "È stato trovato un dispositivo corrispondente, ma il driver specificato non è migliore "
     "di quello corrente.",
     "一致するデバイスが見つかりましたが、指定されたドライバーは現在のドライバーより適切では"
     "ありません。",
     "找到了匹配的设备，但指定的驱动程序并不优于当前的驱动程序。"},
    {"Language Monitor restored", "Der Sprachmonitor wurde wiederhergestellt.",
     "Le moniteur de langage a été restauré.", "Se restauró el monitor de idioma.",
     "Il monitor di linguaggio è stato ripristinato.", "言語モニターを復元しました。",
     "已还原语言监视器。"},
    {"Language Monitor already in place", "Der Sprachmonitor ist bereits vorhanden.",
     "Le moniteur de langage est déjà en place.", "El monitor de idioma ya está en su lugar.",
     "Il monitor di linguaggio è già presente.", "言語モニターは既に存在します。",
     "语言监视器已存在。"},
    {"Language Monitor not restored", "Der Sprachmonitor wurde nicht wiederhergestellt.",
     "Le moniteur de langage n'a pas été restauré.", "No se restauró el monitor de idioma.",
     "Il monitor di linguaggio non è stato ripristinato.", "言語モニターを復元できませんでした。",
     "未能还原语言监视器。"},
    {"The interrupted Update could not be finished!\n\n%s",
     "Die unterbrochene Aktualisierung konnte nicht abgeschlossen werden.\n\n%s",
     "La mise à jour interrompue n'a pas pu être terminée.\n\n%s",
     "No se pudo completar la actualización interrumpida.\n\n%s",
     "Impossibile completare l'aggiornamento interrotto.\n\n%s",
     "中断された更新を完了できませんでした。\n\n%s", "无法完成被中断的更新。\n\n%s"},

    // Names that this Windows can't pass to the program.
    {"The package folder's name can't be read on this Windows: copy the package to a folder with "
     "a plain name!",
     "Der Name des Paketordners kann unter dieser Windows-Version nicht gelesen werden. Kopieren "
     "Sie das Paket in einen Ordner mit einem einfachen Namen.",
     "Le nom du dossier du package ne peut pas être lu sous cette version de Windows. Copiez le "
     "package dans un dossier au nom simple.",
     "El nombre de la carpeta del paquete no se puede leer en esta versión de Windows. Copie el "
     "paquete en una carpeta con un nombre sencillo.",
     "Il nome della cartella del pacchetto non può essere letto in questa versione di Windows. "
     "Copiare il pacchetto in una cartella con un nome semplice.",
     "このバージョンの Windows では、パッケージ フォルダーの名前を読み取れません。"
     "簡単な名前のフォルダーにパッケージをコピーしてください。",
     "在此版本的 Windows 上无法读取程序包文件夹的名称。请将程序包复制到名称简单的文件夹中。"},
    {"The command line has characters that this Windows can't pass to the setup!",
     "Die Befehlszeile enthält Zeichen, die diese Windows-Version nicht an das Setup übergeben "
     "kann.",
     "La ligne de commande contient des caractères que cette version de Windows ne peut pas "
     "transmettre au programme d'installation.",
     "La línea de comandos contiene caracteres que esta versión de Windows no puede pasar al "
     "programa de instalación.",
     "La riga di comando contiene caratteri che questa versione di Windows non può passare al "
     "programma di installazione.",
     "コマンド ラインに、このバージョンの Windows がセットアップに渡せない文字が含まれています。",
     "命令行包含此版本的 Windows 无法传递给安装程序的字符。"},
};
// clang-format on

// The literal pieces of a text between its "%s".
std::vector<std::string> Pieces(const char* text) {
  std::vector<std::string> pieces(1);
  for (const char* p = text; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      pieces.emplace_back();
      ++p;
    } else {
      pieces.back() += *p;
    }
  }
  return pieces;
}

// The names that fill the "%s" of pattern in text, leftmost first; false
// when text is not pattern with names filled in.
bool MatchNames(const std::vector<std::string>& pattern, const std::string& text,
                std::vector<std::string>* names) {
  const std::string& first = pattern.front();
  const std::string& last = pattern.back();
  if (text.size() < first.size() + last.size() || text.compare(0, first.size(), first) != 0)
    return false;
  size_t at = first.size();
  for (size_t i = 1; i < pattern.size(); ++i) {
    size_t next = i + 1 == pattern.size() ? text.size() - last.size() : text.find(pattern[i], at);
    if (next == std::string::npos || next < at ||
        text.compare(next, pattern[i].size(), pattern[i]) != 0)
      return false;
    names->push_back(text.substr(at, next - at));
    at = next + pattern[i].size();
  }
  return at == text.size();
}

}  // namespace

const char* OperatorText::In(OperatorLanguage language) const {
  switch (language) {
    case OperatorLanguage::German:
      return german;
    case OperatorLanguage::French:
      return french;
    case OperatorLanguage::Spanish:
      return spanish;
    case OperatorLanguage::Italian:
      return italian;
    case OperatorLanguage::Japanese:
      return japanese;
    case OperatorLanguage::Chinese:
      return chinese;
    case OperatorLanguage::English:
      break;
  }
  return english;
}

OperatorLanguage OperatorLanguageOf(LANGID uiLanguage) {
  switch (uiLanguage & 0x3FF) {
    case 0x07:
      return OperatorLanguage::German;
    case 0x0C:
      return OperatorLanguage::French;
    case 0x0A:
      return OperatorLanguage::Spanish;
    case 0x10:
      return OperatorLanguage::Italian;
    case 0x11:
      return OperatorLanguage::Japanese;
    case 0x04:
      return OperatorLanguage::Chinese;
    default:
      return OperatorLanguage::English;
  }
}

const OperatorText* OperatorTexts(size_t* count) {
  *count = std::size(kTexts);
  return kTexts;
}

const char* TranslationOf(const std::string& english, OperatorLanguage language) {
  if (language == OperatorLanguage::English) return nullptr;
  for (const OperatorText& row : kTexts)
    if (english == row.english) return row.In(language);
  return nullptr;
}

std::string ShownText(const std::string& english, OperatorLanguage language,
                      const AnsiToUtf8Fn& toUtf8) {
  if (const char* translation = TranslationOf(english, language)) return translation;
  if (language != OperatorLanguage::English) {
    for (const OperatorText& row : kTexts) {
      if (std::strstr(row.english, "%s") == nullptr) continue;
      std::vector<std::string> names;
      if (!MatchNames(Pieces(row.english), english, &names)) continue;
      std::vector<std::string> pieces = Pieces(row.In(language));
      std::string shown = pieces.front();
      for (size_t i = 1; i < pieces.size() && i <= names.size(); ++i)
        shown += toUtf8(names[i - 1]) + pieces[i];
      return shown;
    }
  }
  return toUtf8(english);
}

std::string ShownText(const std::string& english, OperatorLanguage language) {
  return ShownText(english, language, AfxAnsiToUtf8);
}

void TranslateTemplateTexts(CWnd& dialog, OperatorLanguage language) {
  auto translate = [language](CWnd& window) {
    CString text;
    window.GetWindowText(text);
    if (const char* translation = TranslationOf(text.str(), language))
      window.SetWindowTextUtf8(translation);
  };
  translate(dialog);
  dialog.ForEachChild(translate);
}
