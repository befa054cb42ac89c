<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="de_DE">
<context>
    <name>AutoSmoothing</name>
    <message>
        <source>Schätzt das Rauschen des Bildes selbst: Stillstehendes wird über viele Bilder gemittelt, Bewegtes bleibt scharf und zieht keine Schleppen, auch wenn die Kamera schwenkt.</source>
        <translation>Estimates the picture’s noise by itself: still parts are averaged over many frames, moving parts stay sharp and leave no trail, even when the camera pans.</translation>
    </message>
    <message>
        <source>Auto-Glättung bei Stärke 0: das Bild bleibt, wie es ist.</source>
        <translation>Auto smoothing at strength 0: the picture stays as it is.</translation>
    </message>
    <message numerus="yes">
        <source>Auto-Glättung: ein stillstehendes Bild wird über bis zu %n Bilder gemittelt.</source>
        <translation>
            <numerusform>Auto smoothing: a still picture is averaged over up to %n frame.</numerusform>
            <numerusform>Auto smoothing: a still picture is averaged over up to %n frames.</numerusform>
        </translation>
    </message>
    <message>
        <source>Geschätztes Rauschen: %1 Helligkeitsstufen</source>
        <translation>Estimated noise: %1 brightness levels</translation>
    </message>
</context>
<context>
    <name>AutostartEntry</name>
    <message>
        <source>Der Eintrag für den Start beim Anmelden (%1) lässt sich nicht löschen: %2</source>
        <translation>The entry that starts Stillwise at login (%1) cannot be deleted: %2</translation>
    </message>
    <message>
        <source>Der Ordner für Programme, die beim Anmelden starten (%1), lässt sich nicht anlegen.</source>
        <translation>The folder for programs started at login (%1) cannot be created.</translation>
    </message>
    <message>
        <source>Der Eintrag für den Start beim Anmelden (%1) lässt sich nicht schreiben: %2</source>
        <translation>The entry that starts Stillwise at login (%1) cannot be written: %2</translation>
    </message>
</context>
<context>
    <name>AverageGather</name>
    <message>
        <source>Mittelwert abgebrochen: Die Bildgröße hat sich geändert.</source>
        <translation>Mean cancelled: the frame size has changed.</translation>
    </message>
    <message>
        <source>Mittelwert abgebrochen: Die Kamera liefert keine Bilder mehr.</source>
        <translation>Mean cancelled: the camera has stopped sending frames.</translation>
    </message>
    <message>
        <source>Mittelwert abgebrochen: Der Treiber wird gewechselt.</source>
        <translation>Mean cancelled: the driver is being changed.</translation>
    </message>
    <message>
        <source>Mittelwert abgebrochen: Die Vorschau wird für die Einstellungen der Kamera angehalten.</source>
        <translation>Mean cancelled: the preview is paused for the camera settings.</translation>
    </message>
    <message>
        <source>Mittelwert abgebrochen: Nicht genug Speicher.</source>
        <translation>Mean cancelled: not enough memory.</translation>
    </message>
    <message numerus="yes">
        <source>Mittelwert aus %n Bildern</source>
        <translation>
            <numerusform>Mean of %n frame</numerusform>
            <numerusform>Mean of %n frames</numerusform>
        </translation>
    </message>
    <message>
        <source>Bild %1 von %2</source>
        <translation>Frame %1 of %2</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Mittelwert</source>
        <translation>Mean</translation>
    </message>
</context>
<context>
    <name>Background</name>
    <message>
        <source>Stillwise läuft im Systembereich weiter und gibt sein Bild weiter als Webcam aus. Ein Klick auf das Symbol holt das Fenster zurück, „Beenden“ in seinem Menü beendet Stillwise.</source>
        <translation>Stillwise keeps running in the system tray and goes on offering its picture as a webcam. A click on the icon brings the window back; “Quit” in its menu ends Stillwise.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Unerwartetes Argument „%1“: Stillwise öffnet keine Dateien.</source>
        <translation>Unexpected argument “%1”: Stillwise opens no files.</translation>
    </message>
    <message>
        <source>Der Option „%1“ fehlt ihr Wert.</source>
        <translation>The option “%1” needs a value.</translation>
    </message>
    <message>
        <source>Unbekannte Option „%1“.</source>
        <translation>Unknown option “%1”.</translation>
    </message>
    <message>
        <source>Aufruf: %1 [OPTION]...
Beruhigt das Livebild einer Webcam mit einem gleitenden Mittelwert und gibt es auf Wunsch als Webcam an andere Programme weiter.

  --webcam     startet mit eingeschalteter Ausgabe als Webcam
  --tray       startet ohne Fenster, nur mit dem Symbol im Systembereich
               (ohne Systembereich: mit minimiertem Fenster)
  -h, --help   zeigt diese Hilfe und endet
  --version    zeigt die Version und endet

Läuft Stillwise schon, übergibt ein zweiter Aufruf seine Optionen dem laufenden Programm: ohne --tray zeigt es sein Fenster, mit --webcam schaltet es die Ausgabe als Webcam ein.
Qt-Optionen wie -platform oder -style werden an Qt weitergereicht.
</source>
        <translation>Usage: %1 [OPTION]...
Calms a webcam&apos;s live picture with a running average and, if wished, passes it on to other programs as a webcam.

  --webcam     start with the webcam output on
  --tray       start without a window, with only the icon in the system tray
               (no system tray: with the window minimised)
  -h, --help   show this help and exit
  --version    show the version and exit

While Stillwise runs, a second start hands its options to the running program: without --tray it shows its window, with --webcam it switches the webcam output on.
Qt options such as -platform or -style are passed on to Qt.
</translation>
    </message>
    <message>
        <source>„%1 --help“ zeigt, welche Optionen es gibt.
</source>
        <translation>“%1 --help” lists the options.
</translation>
    </message>
</context>
<context>
    <name>ErrorHandlingApplication</name>
    <message>
        <source>Zu wenig Arbeitsspeicher.</source>
        <translation>Not enough memory.</translation>
    </message>
    <message>
        <source>Unbekannter Fehler.</source>
        <translation>Unknown error.</translation>
    </message>
</context>
<context>
    <name>FormatNotice</name>
    <message>
        <source>Dieses Bildformat kann nicht angezeigt werden</source>
        <translation>This pixel format cannot be shown</translation>
    </message>
</context>
<context>
    <name>PictureFile</name>
    <message>
        <source>PNG-Bild (*.png)</source>
        <translation>PNG image (*.png)</translation>
    </message>
    <message>
        <source>JPEG-Bild (*.jpg *.jpeg)</source>
        <translation>JPEG image (*.jpg *.jpeg)</translation>
    </message>
    <message>
        <source>BMP-Bild (*.bmp)</source>
        <translation>BMP image (*.bmp)</translation>
    </message>
    <message>
        <source>Auf dem Datenträger ist kein Platz mehr frei</source>
        <translation>There is no space left on the disk</translation>
    </message>
    <message>
        <source>Ihr Speicherplatz-Kontingent auf dem Datenträger ist ausgeschöpft</source>
        <translation>Your disk quota is used up</translation>
    </message>
    <message>
        <source>Die Datei ist zu groß für diesen Datenträger</source>
        <translation>The file is too large for this disk</translation>
    </message>
    <message>
        <source>Der Dateiname ist zu lang</source>
        <translation>The file name is too long</translation>
    </message>
    <message>
        <source>Der Name führt über zu viele Verknüpfungen (oder eine Verknüpfung auf sich selbst)</source>
        <translation>The name leads through too many links (or a link to itself)</translation>
    </message>
    <message>
        <source>Der Datenträger lässt sich nur lesen</source>
        <translation>The disk is read-only</translation>
    </message>
    <message>
        <source>Zugriff verweigert</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>Ein- und Ausgabefehler des Datenträgers</source>
        <translation>Disk input/output error</translation>
    </message>
    <message>
        <source>Zu viele offene Dateien</source>
        <translation>Too many open files</translation>
    </message>
    <message>
        <source>„%1“ ist eine Verknüpfung auf „%2“, das es nicht gibt.</source>
        <translation>“%1” is a link to “%2”, which does not exist.</translation>
    </message>
    <message>
        <source>Der Ordner „%1“ existiert nicht.</source>
        <translation>The folder “%1” does not exist.</translation>
    </message>
    <message>
        <source>„%1“ ist kein Ordner.</source>
        <translation>“%1” is not a folder.</translation>
    </message>
    <message>
        <source>Unter diesem Namen gibt es schon einen Ordner.</source>
        <translation>A folder with this name already exists.</translation>
    </message>
    <message>
        <source>Unter diesem Namen gibt es schon etwas, das keine gewöhnliche Datei ist.</source>
        <translation>Something that is not an ordinary file already has this name.</translation>
    </message>
    <message>
        <source>Die Datei ist schreibgeschützt.</source>
        <translation>The file is read-only.</translation>
    </message>
    <message>
        <source>Im Ordner „%1“ dürfen Sie keine Dateien anlegen.</source>
        <translation>You may not create files in the folder “%1”.</translation>
    </message>
    <message>
        <source>%1. Ist der Datenträger voll?</source>
        <translation>%1. Is the disk full?</translation>
    </message>
    <message>
        <source>Dieses Bild kann nicht als Datei gespeichert werden.</source>
        <translation>This picture cannot be saved as a file.</translation>
    </message>
    <message>
        <source>Das Bild ließ sich nicht umwandeln (%1).</source>
        <translation>The picture could not be converted (%1).</translation>
    </message>
</context>
<context>
    <name>PrintAction</name>
    <message>
        <source>Lumora Bild</source>
        <translation>Lumora picture</translation>
    </message>
</context>
<context>
    <name>SavePictureDialog</name>
    <message>
        <source>Schnappschuss</source>
        <comment>the proposed file name</comment>
        <translation>Snapshot</translation>
    </message>
    <message>
        <source>Schnappschuß speichern</source>
        <translation>Save snapshot</translation>
    </message>
    <message>
        <source>Speichern nicht möglich</source>
        <translation>Cannot save</translation>
    </message>
    <message>
        <source>Das Bild konnte nicht in der Datei „%1“ gespeichert werden.

%2

Bitte wählen Sie einen anderen Ort oder Namen.</source>
        <translation>The picture could not be saved in the file “%1”.

%2

Please choose another place or name.</translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>Stillwise konnte nicht feststellen, ob es schon läuft: Die Sperrdatei %1 ist nicht zu haben.</source>
        <translation>Stillwise could not find out whether it is running already: the lock file %1 cannot be had.</translation>
    </message>
    <message>
        <source>Stillwise kann den Kanal für weitere Aufrufe (%1) nicht öffnen: %2</source>
        <translation>Stillwise cannot open the channel for later starts (%1): %2</translation>
    </message>
</context>
<context>
    <name>TAboutBox</name>
    <message>
        <source>Info</source>
        <translation>About</translation>
    </message>
    <message>
        <source>© XXXX Varnholt. Alle Rechte vorbehalten.</source>
        <translation>© XXXX Varnholt. All rights reserved.</translation>
    </message>
    <message>
        <source>Varnholt Software, Kontakt: info@stillwise.example</source>
        <translation>Varnholt Software, contact: info@stillwise.example</translation>
    </message>
    <message>
        <source>Ruhige Bilder aus jeder Webcam.</source>
        <translation>Calm pictures from any webcam.</translation>
    </message>
    <message>
        <source>Stillwise legt jedes neue Bild der Kamera über die vorherigen. Rauschen und Flackern, die sich von Bild zu Bild ändern, mitteln sich so heraus. Ein Schnappschuss hält das beruhigte Bild fest, zum Ansehen, Speichern und Drucken.</source>
        <translation>Stillwise blends every new frame from the camera into the ones before. Noise and flicker that change from frame to frame average out. A snapshot keeps the calmed picture to view, save and print.</translation>
    </message>
</context>
<context>
    <name>TBitBtnXP</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Abort</translation>
    </message>
    <message>
        <source>&amp;Retry</source>
        <translation>&amp;Retry</translation>
    </message>
    <message>
        <source>&amp;Ignore</source>
        <translation>&amp;Ignore</translation>
    </message>
    <message>
        <source>&amp;All</source>
        <translation>&amp;All</translation>
    </message>
</context>
<context>
    <name>TDlgEinstell</name>
    <message>
        <source>Videotreiber wechseln...</source>
        <translation>Change video driver</translation>
    </message>
    <message>
        <source>Treiber:</source>
        <translation>Driver:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TMainForm</name>
    <message>
        <source>Cam konfigurieren</source>
        <translation>Configure camera…</translation>
    </message>
    <message>
        <source>Cam Bildformat</source>
        <translation>Camera format…</translation>
    </message>
    <message>
        <source>Schnappschuß s&amp;peichern...</source>
        <translation>Save sna&amp;pshot…</translation>
    </message>
    <message>
        <source>Treiber wechseln...</source>
        <translation>Change driver…</translation>
    </message>
    <message>
        <source>Smoothing:</source>
        <translation>Smoothing:</translation>
    </message>
    <message>
        <source>Zoom:</source>
        <translation>Zoom:</translation>
    </message>
    <message>
        <source>&amp;Schnappschuß</source>
        <translation>&amp;Snapshot</translation>
    </message>
    <message>
        <source>Bewegung schonen</source>
        <translation>Spare motion</translation>
    </message>
    <message>
        <source>Wo sich ein Bildpunkt um mehr als die Schwelle ändert, wird er nicht geglättet: Bewegtes zieht keine Schleppen.</source>
        <translation>A pixel that changes by more than the limit is not smoothed: moving things leave no trail.</translation>
    </message>
    <message>
        <source>Schwelle:</source>
        <translation>Limit:</translation>
    </message>
    <message>
        <source>Größter Unterschied (1 bis 64), der noch als Rauschen gilt</source>
        <translation>Largest difference (1 to 64) still taken as noise</translation>
    </message>
    <message>
        <source>Mittelwert ▾</source>
        <translation>Mean ▾</translation>
    </message>
    <message>
        <source>Mittelwert aus N Bildern: ein rauscharmes Standbild aus den nächsten N Bildern. Die Zahl N im Menü wählen.</source>
        <translation>Mean of N frames: a low-noise still from the next N frames. Choose N from the menu.</translation>
    </message>
    <message numerus="yes">
        <source>Mittelwert aus %n Bildern</source>
        <translation>
            <numerusform>Mean of %n frame</numerusform>
            <numerusform>Mean of %n frames</numerusform>
        </translation>
    </message>
    <message>
        <source>Korrigiertes Bild - Eine Kombination von mehreren Bildern</source>
        <translation>Corrected picture - a blend of several frames</translation>
    </message>
    <message>
        <source>Orginalbild - keine Korrektur</source>
        <translation>Raw picture - no correction</translation>
    </message>
    <message>
        <source>Auf zur Varnholt Homepage...</source>
        <translation>Visit the Varnholt website…</translation>
    </message>
    <message>
        <source>Informationen über das Programm</source>
        <translation>About this program</translation>
    </message>
    <message>
        <source>Hiermit verlassen Sie das Programm</source>
        <translation>Quit the program</translation>
    </message>
    <message>
        <source>Als Webcam ausgeben</source>
        <translation>Output as webcam</translation>
    </message>
    <message>
        <source>Auto-Glättung</source>
        <translation>Auto smoothing</translation>
    </message>
</context>
<context>
    <name>TPrintForm</name>
    <message>
        <source>Bild drucken...</source>
        <translation>Print picture</translation>
    </message>
    <message>
        <source>Vorschau:</source>
        <translation>Preview:</translation>
    </message>
    <message>
        <source>Druckgröße</source>
        <translation>Print size</translation>
    </message>
    <message>
        <source>Seite voll nutzen</source>
        <translation>Fill the page</translation>
    </message>
    <message>
        <source>Benutzerdefiniert</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>Breite in %:</source>
        <translation>Width in %:</translation>
    </message>
    <message>
        <source>Höhe in %:</source>
        <translation>Height in %:</translation>
    </message>
    <message>
        <source>Druckoptionen</source>
        <translation>Print options</translation>
    </message>
    <message>
        <source>Seitenverhältnis beibehalten</source>
        <translation>Keep aspect ratio</translation>
    </message>
    <message>
        <source>Zentrierte Ausgabe</source>
        <translation>Centre on page</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Drucker &amp;einrichten...</source>
        <translation>Printer &amp;setup…</translation>
    </message>
    <message>
        <source>A&amp;bbrechen</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>Einstellungen nicht gespeichert</source>
        <translation>Settings not saved</translation>
    </message>
    <message>
        <source>Die Einstellungen des Druckdialogs ließen sich nicht in der Datei „%1“ speichern (kein Zugriff auf die Datei oder ihren Ordner, oder der Datenträger ist voll).

Bis zum Ende des Programms bleiben sie erhalten; beim nächsten Start gelten wieder die zuletzt gespeicherten.</source>
        <translation>The print dialog’s settings could not be saved in the file “%1” (no access to the file or its folder, or the disk is full).

They are kept until the program ends; at the next start the last saved ones apply again.</translation>
    </message>
</context>
<context>
    <name>TVideo</name>
    <message>
        <source>Kein Videocapturetreiber ausgewählt</source>
        <translation>No video capture driver selected</translation>
    </message>
    <message>
        <source>Kann Capture Window nicht erzeugen</source>
        <translation>Cannot create the capture window</translation>
    </message>
    <message>
        <source>Kann Treiber nicht mit Fenster verbinden</source>
        <translation>Cannot connect the driver to the window</translation>
    </message>
    <message>
        <source>Treiber kann kein Overlay</source>
        <translation>The driver cannot do overlay</translation>
    </message>
</context>
<context>
    <name>TViewPicForm</name>
    <message>
        <source>Bild betrachten...</source>
        <translation>View picture</translation>
    </message>
    <message>
        <source>Zurück...</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>&amp;Drucken</source>
        <translation>&amp;Print</translation>
    </message>
    <message>
        <source>&amp;Speichern...</source>
        <translation>&amp;Save…</translation>
    </message>
    <message>
        <source>&amp;Speichern und dann öffnen...</source>
        <translation>Save and &amp;open…</translation>
    </message>
    <message>
        <source>Zoom:</source>
        <translation>Zoom:</translation>
    </message>
</context>
<context>
    <name>TrayIcon</name>
    <message>
        <source>Fenster verbergen</source>
        <translation>Hide window</translation>
    </message>
    <message>
        <source>Fenster zeigen</source>
        <translation>Show window</translation>
    </message>
    <message>
        <source>Als Webcam ausgeben</source>
        <translation>Output as webcam</translation>
    </message>
    <message>
        <source>Auto-Glättung</source>
        <translation>Auto smoothing</translation>
    </message>
    <message>
        <source>Beim Anmelden starten</source>
        <translation>Start at login</translation>
    </message>
    <message>
        <source>Startet Stillwise bei jeder Anmeldung im Systembereich, mit eingeschalteter Ausgabe als Webcam</source>
        <translation>Starts Stillwise in the system tray at every login, with the webcam output on</translation>
    </message>
    <message>
        <source>Beenden</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Stillwise: Ausgabe als Webcam an, kein Programm liest sie</source>
        <translation>Stillwise: webcam output on, no program is reading it</translation>
    </message>
    <message>
        <source>Stillwise: Ausgabe als Webcam an, ein Programm liest sie</source>
        <translation>Stillwise: webcam output on, a program is reading it</translation>
    </message>
    <message>
        <source>Stillwise: Ausgabe als Webcam aus</source>
        <translation>Stillwise: webcam output off</translation>
    </message>
</context>
<context>
    <name>UrlOpener</name>
    <message>
        <source>Öffnen nicht möglich</source>
        <translation>Cannot open</translation>
    </message>
    <message>
        <source>Auf diesem Rechner ist kein Programm eingerichtet, das sie öffnen kann. Stillwise öffnet Dateien und Adressen mit „xdg-open“ aus dem Paket xdg-utils; ist es installiert und ein Programm dafür eingerichtet?</source>
        <translation>No program on this computer is set up to open it. Stillwise opens files and addresses with “xdg-open” from the package xdg-utils; is it installed, and is a program set up for it?</translation>
    </message>
    <message>
        <source>Die Datei „%1“ ist gespeichert, ließ sich aber nicht öffnen.

%2</source>
        <translation>The file “%1” has been saved but could not be opened.

%2</translation>
    </message>
    <message>
        <source>Die Adresse %1 ließ sich nicht im Webbrowser öffnen.

%2</source>
        <translation>The address %1 could not be opened in the web browser.

%2</translation>
    </message>
</context>
<context>
    <name>avicap::DriverCatalog</name>
    <message>
        <source>(%1, belegt)</source>
        <translation>(%1, busy)</translation>
    </message>
    <message>
        <source>(%1, kein Zugriff)</source>
        <translation>(%1, no access)</translation>
    </message>
    <message>
        <source>Stillwise Testkamera</source>
        <translation>Stillwise test camera</translation>
    </message>
    <message>
        <source>(eingebaut)</source>
        <translation>(built in)</translation>
    </message>
    <message>
        <source>(%1, geteilt über PipeWire)</source>
        <translation>(%1, shared through PipeWire)</translation>
    </message>
    <message>
        <source>Die Kamera „%1“ wird gerade von einem anderen Programm benutzt; Stillwise zeigt sie über PipeWire gemeinsam mit ihm.</source>
        <translation>The camera “%1” is in use by another program; Stillwise shows it through PipeWire alongside that program.</translation>
    </message>
    <message>
        <source>In diesem Platz ist kein Treiber eingerichtet.</source>
        <translation>No driver is set up in this slot.</translation>
    </message>
</context>
<context>
    <name>camera::CameraMemory</name>
    <message>
        <source>Die Kameraeinstellungen lassen sich nicht in %1 speichern. Sie gelten nur, solange das Programm läuft.</source>
        <translation>The camera settings cannot be saved in %1. They apply only while the program runs.</translation>
    </message>
</context>
<context>
    <name>camera::CameraPortal</name>
    <message>
        <source>Der Zugriff auf die Kameras wurde verweigert. Die Stillwise Testkamera bleibt verfügbar; den Zugriff erlauben Sie in den Datenschutz-Einstellungen des Systems.</source>
        <translation>Access to the cameras was denied. The Stillwise test camera remains available; you can allow access in the system’s privacy settings.</translation>
    </message>
    <message>
        <source>Ohne Sitzungsbus lassen sich in der Sandbox keine Kameras erreichen. Die Stillwise Testkamera bleibt verfügbar.</source>
        <translation>Without a session bus no camera can be reached from the sandbox. The Stillwise test camera remains available.</translation>
    </message>
    <message>
        <source>Die Kamera-Freigabe des Systems antwortet nicht (%1). Die Stillwise Testkamera bleibt verfügbar.</source>
        <translation>The system’s camera access service does not answer (%1). The Stillwise test camera remains available.</translation>
    </message>
    <message>
        <source>Die Kamera-Freigabe des Systems gibt keinen Zugang zu PipeWire. Die Stillwise Testkamera bleibt verfügbar.</source>
        <translation>The system’s camera access service gives no access to PipeWire. The Stillwise test camera remains available.</translation>
    </message>
</context>
<context>
    <name>camera::ControlNames</name>
    <message>
        <source>Helligkeit</source>
        <translation>Brightness</translation>
    </message>
    <message>
        <source>Kontrast</source>
        <translation>Contrast</translation>
    </message>
    <message>
        <source>Farbsättigung</source>
        <translation>Saturation</translation>
    </message>
    <message>
        <source>Farbton</source>
        <translation>Hue</translation>
    </message>
    <message>
        <source>Automatischer Farbton</source>
        <translation>Automatic hue</translation>
    </message>
    <message>
        <source>Lautstärke</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>Balance</source>
        <translation>Balance</translation>
    </message>
    <message>
        <source>Ton aus</source>
        <translation>Mute</translation>
    </message>
    <message>
        <source>Gamma</source>
        <translation>Gamma</translation>
    </message>
    <message>
        <source>Verstärkung</source>
        <translation>Gain</translation>
    </message>
    <message>
        <source>Automatische Verstärkung</source>
        <translation>Automatic gain</translation>
    </message>
    <message>
        <source>Belichtung</source>
        <translation>Exposure</translation>
    </message>
    <message>
        <source>Schärfe</source>
        <translation>Sharpness</translation>
    </message>
    <message>
        <source>Automatischer Weißabgleich</source>
        <translation>Automatic white balance</translation>
    </message>
    <message>
        <source>Weißabgleich jetzt</source>
        <translation>White balance now</translation>
    </message>
    <message>
        <source>Rotabgleich</source>
        <translation>Red balance</translation>
    </message>
    <message>
        <source>Blauabgleich</source>
        <translation>Blue balance</translation>
    </message>
    <message>
        <source>Farbtemperatur</source>
        <translation>Colour temperature</translation>
    </message>
    <message>
        <source>Netzfrequenz</source>
        <translation>Power line frequency</translation>
    </message>
    <message>
        <source>Gegenlichtausgleich</source>
        <translation>Backlight compensation</translation>
    </message>
    <message>
        <source>Automatische Farbverstärkung</source>
        <translation>Automatic colour gain</translation>
    </message>
    <message>
        <source>Farbverstärkung</source>
        <translation>Colour gain</translation>
    </message>
    <message>
        <source>Farbe aus</source>
        <translation>Colour killer</translation>
    </message>
    <message>
        <source>Farbeffekt</source>
        <translation>Colour effect</translation>
    </message>
    <message>
        <source>Drehen</source>
        <translation>Rotate</translation>
    </message>
    <message>
        <source>Hintergrundfarbe</source>
        <translation>Background colour</translation>
    </message>
    <message>
        <source>Alphawert</source>
        <translation>Alpha value</translation>
    </message>
    <message>
        <source>Waagerecht spiegeln</source>
        <translation>Flip horizontally</translation>
    </message>
    <message>
        <source>Senkrecht spiegeln</source>
        <translation>Flip vertically</translation>
    </message>
    <message>
        <source>Mindestzahl Puffer</source>
        <translation>Minimum buffers</translation>
    </message>
    <message>
        <source>Belichtungsart</source>
        <translation>Exposure mode</translation>
    </message>
    <message>
        <source>Belichtungszeit</source>
        <translation>Exposure time</translation>
    </message>
    <message>
        <source>Bildrate der Belichtung anpassen</source>
        <translation>Let exposure lower the frame rate</translation>
    </message>
    <message>
        <source>Belichtungskorrektur</source>
        <translation>Exposure compensation</translation>
    </message>
    <message>
        <source>Belichtungsmessung</source>
        <translation>Exposure metering</translation>
    </message>
    <message>
        <source>Autofokus</source>
        <translation>Autofocus</translation>
    </message>
    <message>
        <source>Schärfeebene</source>
        <translation>Focus</translation>
    </message>
    <message>
        <source>Schärfeebene schrittweise</source>
        <translation>Focus, stepwise</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Zoom schrittweise</source>
        <translation>Zoom, stepwise</translation>
    </message>
    <message>
        <source>Zoom stufenlos</source>
        <translation>Zoom, continuous</translation>
    </message>
    <message>
        <source>Schwenken</source>
        <translation>Pan</translation>
    </message>
    <message>
        <source>Schwenken schrittweise</source>
        <translation>Pan, stepwise</translation>
    </message>
    <message>
        <source>Schwenken zurücksetzen</source>
        <translation>Reset pan</translation>
    </message>
    <message>
        <source>Neigen</source>
        <translation>Tilt</translation>
    </message>
    <message>
        <source>Neigen schrittweise</source>
        <translation>Tilt, stepwise</translation>
    </message>
    <message>
        <source>Neigen zurücksetzen</source>
        <translation>Reset tilt</translation>
    </message>
    <message>
        <source>Sichtschutz</source>
        <translation>Privacy</translation>
    </message>
    <message>
        <source>Blende</source>
        <translation>Iris</translation>
    </message>
    <message>
        <source>Blende schrittweise</source>
        <translation>Iris, stepwise</translation>
    </message>
    <message>
        <source>Hoher Dynamikumfang</source>
        <translation>Wide dynamic range</translation>
    </message>
    <message>
        <source>Bildstabilisierung</source>
        <translation>Image stabilisation</translation>
    </message>
    <message>
        <source>ISO-Empfindlichkeit</source>
        <translation>ISO sensitivity</translation>
    </message>
    <message>
        <source>Automatische ISO-Empfindlichkeit</source>
        <translation>Automatic ISO sensitivity</translation>
    </message>
    <message>
        <source>Motivprogramm</source>
        <translation>Scene mode</translation>
    </message>
    <message>
        <source>Weißabgleich-Vorgabe</source>
        <translation>White balance preset</translation>
    </message>
    <message>
        <source>Automatiken sperren</source>
        <translation>Lock automatic settings</translation>
    </message>
    <message>
        <source>Fokussieren</source>
        <translation>Start focusing</translation>
    </message>
    <message>
        <source>Fokussieren beenden</source>
        <translation>Stop focusing</translation>
    </message>
    <message>
        <source>Fokusbereich</source>
        <translation>Focus range</translation>
    </message>
    <message>
        <source>Testbild</source>
        <translation>Test pattern</translation>
    </message>
    <message>
        <source>Aus</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>50 Hz</source>
        <translation>50 Hz</translation>
    </message>
    <message>
        <source>60 Hz</source>
        <translation>60 Hz</translation>
    </message>
    <message>
        <source>Automatisch</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>Manuell</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>Zeitvorwahl</source>
        <translation>Shutter priority</translation>
    </message>
    <message>
        <source>Blendenvorwahl</source>
        <translation>Aperture priority</translation>
    </message>
    <message>
        <source>Keiner</source>
        <translation>None</translation>
    </message>
    <message>
        <source>Schwarzweiß</source>
        <translation>Black and white</translation>
    </message>
    <message>
        <source>Sepia</source>
        <translation>Sepia</translation>
    </message>
    <message>
        <source>Negativ</source>
        <translation>Negative</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Nah</source>
        <translation>Macro</translation>
    </message>
    <message>
        <source>Unendlich</source>
        <translation>Infinity</translation>
    </message>
    <message>
        <source>Bild</source>
        <translation>Picture</translation>
    </message>
    <message>
        <source>Kamera</source>
        <translation>Camera</translation>
    </message>
    <message>
        <source>Blitz</source>
        <translation>Flash</translation>
    </message>
    <message>
        <source>JPEG</source>
        <translation>JPEG</translation>
    </message>
    <message>
        <source>Bildsensor</source>
        <translation>Image sensor</translation>
    </message>
    <message>
        <source>Bildverarbeitung</source>
        <translation>Image processing</translation>
    </message>
    <message>
        <source>Kodierung</source>
        <translation>Encoding</translation>
    </message>
    <message>
        <source>Bewegungserkennung</source>
        <translation>Motion detection</translation>
    </message>
    <message>
        <source>Digitaler Eingang</source>
        <translation>Digital input</translation>
    </message>
    <message>
        <source>Farbraum</source>
        <translation>Colour space</translation>
    </message>
    <message>
        <source>Funk</source>
        <translation>Radio</translation>
    </message>
    <message>
        <source>Weitere</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>YUV 4:2:2 gepackt (YUYV)</source>
        <translation>YUV 4:2:2 packed (YUYV)</translation>
    </message>
    <message>
        <source>YUV 4:2:2 gepackt (YVYU)</source>
        <translation>YUV 4:2:2 packed (YVYU)</translation>
    </message>
    <message>
        <source>YUV 4:2:2 gepackt (UYVY)</source>
        <translation>YUV 4:2:2 packed (UYVY)</translation>
    </message>
    <message>
        <source>YUV 4:2:2 gepackt (VYUY)</source>
        <translation>YUV 4:2:2 packed (VYUY)</translation>
    </message>
    <message>
        <source>YUV 4:2:0 zweiteilig (NV12)</source>
        <translation>YUV 4:2:0 two planes (NV12)</translation>
    </message>
    <message>
        <source>YUV 4:2:0 zweiteilig (NV21)</source>
        <translation>YUV 4:2:0 two planes (NV21)</translation>
    </message>
    <message>
        <source>YUV 4:2:2 zweiteilig (NV16)</source>
        <translation>YUV 4:2:2 two planes (NV16)</translation>
    </message>
    <message>
        <source>YUV 4:2:2 zweiteilig (NV61)</source>
        <translation>YUV 4:2:2 two planes (NV61)</translation>
    </message>
    <message>
        <source>YUV 4:2:0 in Ebenen (I420)</source>
        <translation>YUV 4:2:0 planar (I420)</translation>
    </message>
    <message>
        <source>YUV 4:2:0 in Ebenen (YV12)</source>
        <translation>YUV 4:2:0 planar (YV12)</translation>
    </message>
    <message>
        <source>YUV 4:2:2 in Ebenen</source>
        <translation>YUV 4:2:2 planar</translation>
    </message>
    <message>
        <source>Motion-JPEG (komprimiert)</source>
        <translation>Motion JPEG (compressed)</translation>
    </message>
    <message>
        <source>JPEG (komprimiert)</source>
        <translation>JPEG (compressed)</translation>
    </message>
    <message>
        <source>RGB, 24 Bit</source>
        <translation>RGB, 24 bit</translation>
    </message>
    <message>
        <source>BGR, 24 Bit</source>
        <translation>BGR, 24 bit</translation>
    </message>
    <message>
        <source>RGB 5-6-5, 16 Bit</source>
        <translation>RGB 5-6-5, 16 bit</translation>
    </message>
    <message>
        <source>RGB 5-5-5, 16 Bit</source>
        <translation>RGB 5-5-5, 16 bit</translation>
    </message>
    <message>
        <source>XRGB, 32 Bit</source>
        <translation>XRGB, 32 bit</translation>
    </message>
    <message>
        <source>XBGR, 32 Bit</source>
        <translation>XBGR, 32 bit</translation>
    </message>
    <message>
        <source>ARGB, 32 Bit</source>
        <translation>ARGB, 32 bit</translation>
    </message>
    <message>
        <source>ABGR, 32 Bit</source>
        <translation>ABGR, 32 bit</translation>
    </message>
    <message>
        <source>RGB, 32 Bit (veraltet)</source>
        <translation>RGB, 32 bit (deprecated)</translation>
    </message>
    <message>
        <source>BGR, 32 Bit (veraltet)</source>
        <translation>BGR, 32 bit (deprecated)</translation>
    </message>
    <message>
        <source>Graustufen, 8 Bit</source>
        <translation>Greyscale, 8 bit</translation>
    </message>
    <message>
        <source>Graustufen, 16 Bit</source>
        <translation>Greyscale, 16 bit</translation>
    </message>
    <message>
        <source>Rohdaten Bayer BGGR, 8 Bit</source>
        <translation>Raw Bayer BGGR, 8 bit</translation>
    </message>
    <message>
        <source>Rohdaten Bayer GBRG, 8 Bit</source>
        <translation>Raw Bayer GBRG, 8 bit</translation>
    </message>
    <message>
        <source>Rohdaten Bayer GRBG, 8 Bit</source>
        <translation>Raw Bayer GRBG, 8 bit</translation>
    </message>
    <message>
        <source>Rohdaten Bayer RGGB, 8 Bit</source>
        <translation>Raw Bayer RGGB, 8 bit</translation>
    </message>
    <message>
        <source>H.264 (komprimiert)</source>
        <translation>H.264 (compressed)</translation>
    </message>
</context>
<context>
    <name>camera::FormatDialog</name>
    <message>
        <source>wie die Kamera will</source>
        <translation>camera’s choice</translation>
    </message>
    <message>
        <source>de_DE</source>
        <comment>locale of the frame rate</comment>
        <translation>en_GB</translation>
    </message>
    <message>
        <source>%1 Bilder/s</source>
        <translation>%1 fps</translation>
    </message>
    <message>
        <source>Videoformat</source>
        <translation>Video format</translation>
    </message>
    <message>
        <source>Bildformat:</source>
        <translation>Pixel format:</translation>
    </message>
    <message>
        <source>Bildgröße:</source>
        <translation>Frame size:</translation>
    </message>
    <message>
        <source>Bildrate:</source>
        <translation>Frame rate:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Die Kamera nimmt dieses Bildformat nicht an. Es bleibt beim bisherigen.</source>
        <translation>The camera does not accept this format. The previous one stays.</translation>
    </message>
    <message>
        <source>%1 Es bleibt beim bisherigen.</source>
        <translation>%1 The previous format stays.</translation>
    </message>
</context>
<context>
    <name>camera::Notices</name>
    <message>
        <source>Kamera</source>
        <translation>Camera</translation>
    </message>
</context>
<context>
    <name>camera::PipeWireDriver</name>
    <message>
        <source>Die Kamera ist nicht mehr erreichbar. Die Vorschau wurde beendet.</source>
        <translation>The camera can no longer be reached. The preview has stopped.</translation>
    </message>
    <message>
        <source>PipeWire wurde beendet oder hat die Verbindung getrennt. Die Vorschau wurde beendet; sobald PipeWire wieder läuft, lässt sich die Kamera wieder wählen.</source>
        <translation>PipeWire has stopped or closed the connection. The preview has stopped; once PipeWire runs again, the camera can be chosen again.</translation>
    </message>
    <message>
        <source>Dieses Bildformat lässt sich nicht umwandeln. Bitte ein anderes Bildformat wählen.</source>
        <translation>This pixel format cannot be converted. Please choose another format.</translation>
    </message>
    <message>
        <source>PipeWire legt keinen Datenstrom von der Kamera an (%1).</source>
        <translation>PipeWire does not create a stream from the camera (%1).</translation>
    </message>
    <message>
        <source>PipeWire verbindet die Kamera nicht (%1).</source>
        <translation>PipeWire does not connect the camera (%1).</translation>
    </message>
    <message>
        <source>PipeWire liefert keine Bilder der Kamera mehr (%1). Die Vorschau wurde beendet.</source>
        <translation>PipeWire has stopped sending frames from the camera (%1). The preview has stopped.</translation>
    </message>
    <message>
        <source>PipeWire hat die Verbindung zur Kamera getrennt. Die Vorschau wurde beendet.</source>
        <translation>PipeWire has closed the connection to the camera. The preview has stopped.</translation>
    </message>
    <message>
        <source>Die Kamera %1 lässt sich nicht öffnen: PipeWire ist nicht erreichbar. Bitte prüfen, ob PipeWire läuft, und es noch einmal versuchen.</source>
        <translation>The camera %1 cannot be opened: PipeWire cannot be reached. Please check that PipeWire is running and try again.</translation>
    </message>
    <message>
        <source>Die Kamera %1 meldet keine Bildformate. Bitte prüfen, ob sie noch angeschlossen ist, und es noch einmal versuchen.</source>
        <translation>The camera %1 reports no pixel formats. Please check that it is still plugged in and try again.</translation>
    </message>
    <message>
        <source>Die Kamera %1 liefert kein Bildformat, das sich in 24-Bit-Farbe umwandeln lässt.</source>
        <translation>The camera %1 offers no pixel format that can be converted to 24-bit colour.</translation>
    </message>
    <message>
        <source>Die Kamera %1 liefert das Bildformat %2, das sich nicht umwandeln lässt.</source>
        <translation>The camera %1 sends the pixel format %2, which cannot be converted.</translation>
    </message>
    <message>
        <source>Die Kamera hat auf das Bildformat %1 umgestellt, das sich nicht umwandeln lässt. Die Vorschau wurde beendet.</source>
        <translation>The camera has switched to the pixel format %1, which cannot be converted. The preview has stopped.</translation>
    </message>
    <message>
        <source>Die Kamera liefert keine lesbaren Bilder. Die Vorschau wurde beendet.</source>
        <translation>The camera sends no readable frames. The preview has stopped.</translation>
    </message>
    <message>
        <source>Das Bildformat %1 lässt sich nicht in 24-Bit-Farbe umwandeln. Bitte ein anderes Bildformat wählen.</source>
        <translation>The pixel format %1 cannot be converted to 24-bit colour. Please choose another format.</translation>
    </message>
    <message>
        <source>Die Bildgröße %1 × %2 lässt sich nicht umwandeln. Bitte eine andere Größe wählen.</source>
        <translation>The frame size %1 × %2 cannot be converted. Please choose another size.</translation>
    </message>
    <message>
        <source>PipeWire antwortet nicht. Läuft PipeWire? Ohne PipeWire lassen sich die Kameras, die PipeWire anbietet, nicht verwenden.</source>
        <translation>PipeWire does not answer. Is PipeWire running? Without it, the cameras that PipeWire offers cannot be used.</translation>
    </message>
    <message>
        <source>Die Kamera „%1“ ist nicht mehr da. Ist sie angeschlossen, und läuft das Programm noch, das sie anbietet?</source>
        <translation>The camera “%1” is gone. Is it plugged in, and is the program that offers it still running?</translation>
    </message>
    <message>
        <source>Die Kamera %1 liefert seit dem Wechsel des Bildformats keine Bilder mehr, auch nicht nach einem neuen Verbindungsaufbau. Die Vorschau wurde beendet. Bitte die Kamera neu wählen oder das Programm neu starten, das sie anbietet.</source>
        <translation>The camera %1 has sent no pictures since its picture format changed, not even after connecting to it again. The preview has stopped. Please choose the camera again, or restart the program that offers it.</translation>
    </message>
</context>
<context>
    <name>camera::SourceDialog</name>
    <message>
        <source>Nur zur Anzeige: dieser Wert lässt sich nicht ändern.</source>
        <translation>Read-only: this value cannot be changed.</translation>
    </message>
    <message>
        <source>Zurzeit ohne Wirkung: eine Automatik regelt diesen Wert.</source>
        <translation>Inactive: an automatic setting controls this value.</translation>
    </message>
    <message>
        <source>Videoquelle</source>
        <translation>Video source</translation>
    </message>
    <message>
        <source>Die Kamera bietet keine Einstellungen an.</source>
        <translation>The camera offers no settings.</translation>
    </message>
    <message>
        <source>Standardwerte</source>
        <translation>Defaults</translation>
    </message>
    <message>
        <source>Schließen</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>camera::TestCamera</name>
    <message>
        <source>Rauschen</source>
        <translation>Noise</translation>
    </message>
    <message>
        <source>Flackern</source>
        <translation>Flicker</translation>
    </message>
    <message>
        <source>Bewegung</source>
        <translation>Motion</translation>
    </message>
    <message>
        <source>RGB, 24 Bit</source>
        <translation>RGB, 24 bit</translation>
    </message>
    <message>
        <source>Graustufen, 8 Bit</source>
        <translation>Greyscale, 8 bit</translation>
    </message>
</context>
<context>
    <name>camera::V4l2Driver</name>
    <message>
        <source>Das Bildformat %1 lässt sich nicht in 24-Bit-Farbe umwandeln.</source>
        <translation>The pixel format %1 cannot be converted to 24-bit colour.</translation>
    </message>
    <message>
        <source>Die Bildgröße %1 × %2 lässt sich nicht umwandeln.</source>
        <translation>The frame size %1 × %2 cannot be converted.</translation>
    </message>
    <message>
        <source>Die Kamera ist nicht mehr erreichbar. Die Vorschau wurde beendet.</source>
        <translation>The camera can no longer be reached. The preview has stopped.</translation>
    </message>
    <message>
        <source>Die Kamera meldet einen Fehler (%1). Die Vorschau wurde beendet.</source>
        <translation>The camera reports an error (%1). The preview has stopped.</translation>
    </message>
    <message>
        <source>Die Kamera %1 liefert kein Bildformat, das sich in 24-Bit-Farbe umwandeln lässt.</source>
        <translation>The camera %1 offers no pixel format that can be converted to 24-bit colour.</translation>
    </message>
    <message>
        <source>Kein Zugriff auf die Kamera %1. Meist fehlt dem Benutzer die Mitgliedschaft in der Gruppe „video“: ein Administrator nimmt ihn mit „sudo usermod -aG video BENUTZERNAME“ auf, danach einmal ab- und wieder anmelden.</source>
        <translation>No access to the camera %1. Usually the user is not a member of the group “video”: an administrator adds them with “sudo usermod -aG video USERNAME”; then log out and back in once.</translation>
    </message>
    <message>
        <source>Die Kamera %1 wird gerade von einem anderen Programm benutzt. Bitte das andere Programm beenden und es noch einmal versuchen.</source>
        <translation>The camera %1 is in use by another program. Please close the other program and try again.</translation>
    </message>
    <message>
        <source>Die Kamera %1 ist nicht mehr erreichbar.</source>
        <translation>The camera %1 can no longer be reached.</translation>
    </message>
    <message>
        <source>Die Kamera %1 lässt sich nicht öffnen (%2).</source>
        <translation>The camera %1 cannot be opened (%2).</translation>
    </message>
    <message>
        <source>Das Gerät %1 liefert keine Videobilder.</source>
        <translation>The device %1 sends no video frames.</translation>
    </message>
    <message>
        <source>Die Kamera liefert keine lesbaren Bilder. Die Vorschau wurde beendet.</source>
        <translation>The camera sends no readable frames. The preview has stopped.</translation>
    </message>
    <message>
        <source>Das Bildformat %1 lässt sich in der Größe %2 × %3 nicht umwandeln: es braucht mindestens 3 × 2 Bildpunkte.</source>
        <translation>The pixel format %1 cannot be converted at the size %2 × %3: it needs at least 3 × 2 pixels.</translation>
    </message>
</context>
<context>
    <name>camera::V4l2Text</name>
    <message>
        <source>das Gerät ist nicht mehr da</source>
        <translation>the device is gone</translation>
    </message>
    <message>
        <source>das Gerät ist belegt</source>
        <translation>the device is busy</translation>
    </message>
    <message>
        <source>kein Zugriff auf das Gerät</source>
        <translation>no access to the device</translation>
    </message>
    <message>
        <source>das Gerät kann das nicht</source>
        <translation>the device cannot do that</translation>
    </message>
    <message>
        <source>das Gerät weist die Anfrage zurück</source>
        <translation>the device refuses the request</translation>
    </message>
    <message>
        <source>nicht genug Speicher</source>
        <translation>not enough memory</translation>
    </message>
    <message>
        <source>das Gerät ist gerade nicht bereit</source>
        <translation>the device is not ready</translation>
    </message>
    <message>
        <source>Übertragungsfehler</source>
        <translation>transfer error</translation>
    </message>
</context>
<context>
    <name>gdi::MessageBox</name>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Konnte Bitmap nicht erzeugen!</source>
        <translation>Could not create the bitmap!</translation>
    </message>
    <message>
        <source>Das Gerät unterstützt die Funtkion setdibits nicht!</source>
        <translation>The device does not support SetDIBits!</translation>
    </message>
    <message>
        <source>Das Gerät unterstützt die Funktion StretchBlt nicht!</source>
        <translation>The device does not support StretchBlt!</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Stillwise braucht eine grafische Oberfläche, findet aber keine: weder DISPLAY (X11) noch WAYLAND_DISPLAY (Wayland) ist gesetzt.
Starten Sie Stillwise in einer Desktop-Sitzung, oder geben Sie mit QT_QPA_PLATFORM an, wo es erscheinen soll (z. B. QT_QPA_PLATFORM=offscreen).
</source>
        <translation>Stillwise needs a graphical desktop but finds none: neither DISPLAY (X11) nor WAYLAND_DISPLAY (Wayland) is set.
Start Stillwise in a desktop session, or say with QT_QPA_PLATFORM where it should appear (for example QT_QPA_PLATFORM=offscreen).
</translation>
    </message>
</context>
<context>
    <name>output::PipeWireCamera</name>
    <message>
        <source>Für die Ausgabe als PipeWire-Kamera muss PipeWire laufen (in den meisten Desktops von selbst, sonst: sudo apt install pipewire wireplumber).</source>
        <translation>Output as a PipeWire camera needs PipeWire running (most desktops start it themselves; otherwise: sudo apt install pipewire wireplumber).</translation>
    </message>
    <message>
        <source>PipeWire läuft nicht. %1</source>
        <translation>PipeWire is not running. %1</translation>
    </message>
    <message>
        <source>PipeWire wurde beendet oder hat die Verbindung getrennt. Die Ausgabe als Webcam wurde ausgeschaltet; sobald PipeWire wieder läuft, lässt sie sich wieder einschalten.</source>
        <translation>PipeWire has stopped or closed the connection. Webcam output has been switched off; once PipeWire runs again, it can be switched on again.</translation>
    </message>
    <message>
        <source>PipeWire lässt sich nicht starten (keine Ereignisschleife).</source>
        <translation>PipeWire cannot be started (no event loop).</translation>
    </message>
    <message>
        <source>PipeWire lässt sich nicht starten (%1).</source>
        <translation>PipeWire cannot be started (%1).</translation>
    </message>
    <message>
        <source>PipeWire lässt sich nicht starten.</source>
        <translation>PipeWire cannot be started.</translation>
    </message>
    <message>
        <source>Keine Verbindung zu PipeWire (%1). Läuft PipeWire?</source>
        <translation>No connection to PipeWire (%1). Is PipeWire running?</translation>
    </message>
    <message>
        <source>PipeWire legt die Kamera „Stillwise“ nicht an.</source>
        <translation>PipeWire does not create the camera “Stillwise”.</translation>
    </message>
    <message>
        <source>PipeWire nimmt die Kamera „Stillwise“ nicht an (%1).</source>
        <translation>PipeWire does not accept the camera “Stillwise” (%1).</translation>
    </message>
    <message>
        <source>PipeWire hat die Kamera „Stillwise“ beendet (%1). Die Ausgabe als Webcam wurde ausgeschaltet.</source>
        <translation>PipeWire has ended the camera “Stillwise” (%1). Webcam output has been switched off.</translation>
    </message>
</context>
<context>
    <name>output::VirtualCamera</name>
    <message>
        <source>Die virtuelle Webcam %1 ist verschwunden. Die Ausgabe als Webcam wurde ausgeschaltet.</source>
        <translation>The virtual webcam %1 has disappeared. Webcam output has been switched off.</translation>
    </message>
    <message>
        <source>Die virtuelle Webcam %1 nimmt keine Bilder an (%2). Die Ausgabe als Webcam wurde ausgeschaltet.</source>
        <translation>The virtual webcam %1 does not accept frames (%2). Webcam output has been switched off.</translation>
    </message>
    <message>
        <source>Für die Ausgabe als Webcam fehlt das Kernelmodul v4l2loopback. Einrichten mit:
sudo apt install v4l2loopback-dkms
sudo modprobe v4l2loopback exclusive_caps=1 max_buffers=4 card_label=Stillwise</source>
        <translation>Webcam output needs the kernel module v4l2loopback. Set it up with:
sudo apt install v4l2loopback-dkms
sudo modprobe v4l2loopback exclusive_caps=1 max_buffers=4 card_label=Stillwise</translation>
    </message>
    <message>
        <source>Die virtuelle Webcam %1 nimmt gerade keine Bilder an, weil ein anderes Programm hineinschreibt oder zuletzt hineingeschrieben hat. Bitte das andere Programm beenden; hilft das nicht, das Modul neu laden (sudo modprobe -r v4l2loopback, dann sudo modprobe v4l2loopback exclusive_caps=1 max_buffers=4 card_label=Stillwise).</source>
        <translation>The virtual webcam %1 does not accept frames now because another program writes to it or was the last to write to it. Please close the other program; if that does not help, reload the module (sudo modprobe -r v4l2loopback, then sudo modprobe v4l2loopback exclusive_caps=1 max_buffers=4 card_label=Stillwise).</translation>
    </message>
    <message>
        <source>Die virtuelle Webcam %1 nimmt das Bildformat YUYV nicht an. Die Ausgabe als Webcam wurde ausgeschaltet.</source>
        <translation>The virtual webcam %1 does not accept the pixel format YUYV. Webcam output has been switched off.</translation>
    </message>
    <message>
        <source>Die virtuelle Webcam %1 meldet ein unbrauchbares Bildformat (%2 × %3 Bildpunkte, %4 Bytes je Zeile). Die Ausgabe als Webcam wurde ausgeschaltet.</source>
        <translation>The virtual webcam %1 reports an unusable format (%2 × %3 pixels, %4 bytes per line). Webcam output has been switched off.</translation>
    </message>
</context>
<context>
    <name>output::WebcamSwitch</name>
    <message>
        <source>Das Bild geht dennoch als PipeWire-Kamera „%1“ hinaus.</source>
        <translation>The picture still goes out as the PipeWire camera “%1”.</translation>
    </message>
    <message>
        <source>Gibt das beruhigte Bild als PipeWire-Kamera „%1“ und als virtuelle Webcam „%2“ (%3) aus, die Browser und Videotelefonie-Programme auswählen können.</source>
        <translation>Sends the calmed picture out as the PipeWire camera “%1” and as the virtual webcam “%2” (%3), which browsers and video-call programs can choose.</translation>
    </message>
    <message>
        <source>Gibt das beruhigte Bild als PipeWire-Kamera „%1“ aus, die Browser und Videotelefonie-Programme auswählen können.
Für Programme, die Kameras nur als /dev/video-Gerät öffnen:
%2</source>
        <translation>Sends the calmed picture out as the PipeWire camera “%1”, which browsers and video-call programs can choose.
For programs that open cameras only as /dev/video devices:
%2</translation>
    </message>
    <message>
        <source>Gibt das beruhigte Bild als virtuelle Webcam „%1“ (%2) aus, die Browser und Videotelefonie-Programme auswählen können.
Für Programme, die Kameras über PipeWire suchen (etwa Browser im Flatpak oder Snap): %3</source>
        <translation>Sends the calmed picture out as the virtual webcam “%1” (%2), which browsers and video-call programs can choose.
For programs that look for cameras through PipeWire (such as browsers in a Flatpak or Snap): %3</translation>
    </message>
    <message>
        <source>%1
Oder: %2</source>
        <translation>%1
Or: %2</translation>
    </message>
</context>
<context>
    <name>print::Printer</name>
    <message>
        <source>Zur Zeit ist kein Standard-Drucker gewählt</source>
        <translation>No default printer is chosen</translation>
    </message>
    <message>
        <source>Das Drucken ist im Gang</source>
        <translation>Printing is in progress</translation>
    </message>
    <message>
        <source>Der Druckauftrag konnte nicht begonnen werden</source>
        <translation>The print job could not be started</translation>
    </message>
    <message>
        <source>Der Druckauftrag konnte nicht abgeschlossen werden</source>
        <translation>The print job could not be finished</translation>
    </message>
</context>
<context>
    <name>print::SystemPrinter</name>
    <message>
        <source>Der Drucker nennt keinen Grund.</source>
        <translation>The printer gives no reason.</translation>
    </message>
    <message>
        <source>Grund: %1</source>
        <translation>Reason: %1</translation>
    </message>
    <message>
        <source>Der Drucker „%1“ nimmt zur Zeit keine Druckaufträge an. %2

Es wurde nichts gedruckt.</source>
        <translation>The printer “%1” is not accepting print jobs at the moment. %2

Nothing was printed.</translation>
    </message>
    <message>
        <source>Lumora Bild.pdf</source>
        <comment>the proposed PDF file name</comment>
        <translation>Lumora picture.pdf</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Druckereinrichtung</source>
        <translation>Printer setup</translation>
    </message>
    <message>
        <source>Kein Drucker eingerichtet: in eine PDF-Datei drucken</source>
        <translation>No printer set up: print to a PDF file</translation>
    </message>
</context>
</TS>
