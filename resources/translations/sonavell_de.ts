<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AddressBookViewController</name>
    <message>
        <source>Email</source>
        <translation>E-Mail</translation>
    </message>
    <message>
        <source>name@example.org</source>
        <translation>name@example.org</translation>
    </message>
    <message>
        <source>To:</source>
        <translation>An:</translation>
    </message>
    <message>
        <source>From:</source>
        <translation>Von:</translation>
    </message>
    <message>
        <source>Subject:</source>
        <translation>Betreff:</translation>
    </message>
    <message>
        <source>Text:</source>
        <translation>Text:</translation>
    </message>
    <message>
        <source>Address Book</source>
        <translation>Adressbuch</translation>
    </message>
    <message>
        <source>The recording is uploaded to your upload server, which e-mails it as an attachment.</source>
        <translation>Die Aufnahme wird auf Ihren Upload-Server geladen, der sie als Anhang per E-Mail verschickt.</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Memo: %1</source>
        <translation>Memo: %1</translation>
    </message>
    <message>
        <source>No memo is chosen.</source>
        <translation>Kein Memo ausgewählt.</translation>
    </message>
    <message>
        <source>Memo to send</source>
        <translation>Zu sendendes Memo</translation>
    </message>
    <message>
        <source>Not Available</source>
        <translation>Nicht verfügbar</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>A recording is being e-mailed now. Wait until it has been sent.</source>
        <translation>Gerade wird eine Aufnahme per E-Mail verschickt. Warten Sie, bis sie gesendet ist.</translation>
    </message>
    <message>
        <source>No upload server is configured. E-mail goes through a sonavell-upload-server; set its address (for example http://192.168.1.10:8025) as &quot;upload_url&quot; in Sonavell&apos;s settings.</source>
        <translation>Es ist kein Upload-Server eingerichtet. E-Mails gehen über einen sonavell-upload-server; tragen Sie seine Adresse (zum Beispiel http://192.168.1.10:8025) als „upload_url“ in den Einstellungen von Sonavell ein.</translation>
    </message>
    <message>
        <source>There is no recording to send. Choose a recording first.</source>
        <translation>Es gibt keine Aufnahme zum Senden. Wählen Sie zuerst eine Aufnahme.</translation>
    </message>
    <message>
        <source>The recording&apos;s file could not be found.</source>
        <translation>Die Datei der Aufnahme wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>Sonavell cannot email recordings larger than 10MB.</source>
        <translation>Sonavell kann keine Aufnahmen über 10 MB per E-Mail senden.</translation>
    </message>
    <message>
        <source>Enter the recipient&apos;s e-mail address, or pick one from the address book.</source>
        <translation>Geben Sie die E-Mail-Adresse des Empfängers ein oder wählen Sie eine aus dem Adressbuch.</translation>
    </message>
    <message>
        <source>Sending Recording</source>
        <translation>Aufnahme wird gesendet</translation>
    </message>
    <message>
        <source>The recording is now being uploaded to our server and will be emailed when the upload is complete.  Do not quit Sonavell until the upload has completed, or the email will not be sent.</source>
        <translation>Die Aufnahme wird jetzt auf unseren Server geladen und nach dem Hochladen per E-Mail verschickt. Beenden Sie Sonavell nicht, bevor das Hochladen abgeschlossen ist, sonst wird die E-Mail nicht gesendet.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Size to send: %1 (%2)</source>
        <translation>Sendegröße: %1 (%2)</translation>
    </message>
    <message>
        <source>There is no room for the converted copy of the memo.</source>
        <translation>Für die umgewandelte Kopie des Memos ist kein Platz.</translation>
    </message>
    <message>
        <source>Converting to %1…</source>
        <translation>Wird in %1 umgewandelt…</translation>
    </message>
    <message>
        <source>The memo could not be converted to %1: %2</source>
        <translation>Das Memo konnte nicht in %1 umgewandelt werden: %2</translation>
    </message>
    <message>
        <source>Send Recording</source>
        <translation>Aufnahme senden</translation>
    </message>
    <message>
        <source>Sonavell has successfully uploaded the recording to our server and the email has been sent.</source>
        <translation>Sonavell hat die Aufnahme auf unseren Server geladen, und die E-Mail wurde gesendet.</translation>
    </message>
    <message>
        <source>An error ocurred sending the memo as an email.  Make sure you are connected to a network, check the email settings and try again. </source>
        <translation>Beim Senden des Memos per E-Mail ist ein Fehler aufgetreten. Prüfen Sie, ob Sie mit einem Netzwerk verbunden sind, kontrollieren Sie die E-Mail-Einstellungen und versuchen Sie es erneut. </translation>
    </message>
</context>
<context>
    <name>AlertPanel</name>
    <message>
        <source>Alert</source>
        <translation>Hinweis</translation>
    </message>
    <message>
        <source>Choices</source>
        <translation>Auswahl</translation>
    </message>
</context>
<context>
    <name>AppDelegate</name>
    <message>
        <source>Your library could not be saved (%1). The last saved copy is kept; Sonavell tries again with your next change.</source>
        <translation>Ihre Bibliothek konnte nicht gespeichert werden (%1). Die zuletzt gespeicherte Fassung bleibt erhalten; Sonavell versucht es bei Ihrer nächsten Änderung erneut.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>Tipp</translation>
    </message>
    <message>
        <source>To ensure interruption-free recordings, change your phone settings to Airplane mode.</source>
        <translation>Für Aufnahmen ohne Unterbrechung schalten Sie Ihr Telefon in den Flugmodus.</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Sonavell found a recording that was not saved in the database.  Any recordings the have been reconnected to the database are now renamed &quot;Recovered Memo.&quot;</source>
        <translation>Sonavell hat eine Aufnahme gefunden, die nicht in der Datenbank gespeichert war. Alle Aufnahmen, die wieder mit der Datenbank verbunden wurden, heißen jetzt „Recovered Memo“.</translation>
    </message>
    <message>
        <source>%1GB Used</source>
        <translation>%1 GB belegt</translation>
    </message>
    <message>
        <source>%1MB Used</source>
        <translation>%1 MB belegt</translation>
    </message>
    <message>
        <source>%1GB Free</source>
        <translation>%1 GB frei</translation>
    </message>
    <message>
        <source>%1MB Free</source>
        <translation>%1 MB frei</translation>
    </message>
</context>
<context>
    <name>AppInfoController</name>
    <message>
        <source>Sonavell Manual</source>
        <translation>Sonavell-Handbuch</translation>
    </message>
    <message>
        <source>Edit your Memos</source>
        <translation>Memos bearbeiten</translation>
    </message>
    <message>
        <source>Report a Bug</source>
        <translation>Fehler melden</translation>
    </message>
    <message>
        <source>Request a Feature</source>
        <translation>Funktion vorschlagen</translation>
    </message>
    <message>
        <source>Sonavell Website</source>
        <translation>Sonavell-Website</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
</context>
<context>
    <name>AudioConverter</name>
    <message>
        <source>The memo could not be resampled for Opus.</source>
        <translation>Das Memo konnte nicht für Opus umgerechnet werden.</translation>
    </message>
    <message>
        <source>The memo&apos;s file is damaged and could not be read.</source>
        <translation>Die Datei des Memos ist beschädigt und konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The converted file could not be written: %1</source>
        <translation>Die umgewandelte Datei konnte nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>The memo&apos;s file is missing.</source>
        <translation>Die Datei des Memos fehlt.</translation>
    </message>
    <message>
        <source>The memo holds no audio.</source>
        <translation>Das Memo enthält keinen Ton.</translation>
    </message>
    <message>
        <source>The converted file could not be written.</source>
        <translation>Die umgewandelte Datei konnte nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>The converted file could not be put in place.</source>
        <translation>Die umgewandelte Datei konnte nicht an ihren Platz gelegt werden.</translation>
    </message>
</context>
<context>
    <name>AudioViewController</name>
    <message>
        <source>The recording could not be saved: %1 is not a file in the documents folder.</source>
        <translation>Die Aufnahme konnte nicht gespeichert werden: %1 ist keine Datei im Dokumentordner.</translation>
    </message>
    <message>
        <source>The recording could not be saved: %1.</source>
        <translation>Die Aufnahme konnte nicht gespeichert werden: %1.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>No sound device is available.</source>
        <translation>Es ist kein Audiogerät verfügbar.</translation>
    </message>
    <message>
        <source>The sound device refused to record.</source>
        <translation>Das Audiogerät hat die Aufnahme verweigert.</translation>
    </message>
    <message>
        <source>The sound device refused to play.</source>
        <translation>Das Audiogerät hat die Wiedergabe verweigert.</translation>
    </message>
    <message>
        <source>The sound device was lost. The playback was stopped.</source>
        <translation>Das Audiogerät ist weg. Die Wiedergabe wurde angehalten.</translation>
    </message>
    <message>
        <source>Recording Stopped</source>
        <translation>Aufnahme beendet</translation>
    </message>
    <message>
        <source>The sound device was lost. The recording was stopped and saved.</source>
        <translation>Das Audiogerät ist weg. Die Aufnahme wurde beendet und gespeichert.</translation>
    </message>
    <message>
        <source>of</source>
        <translation>von</translation>
    </message>
    <message>
        <source>Volume Boost</source>
        <translation>Verstärkung</translation>
    </message>
    <message>
        <source>Are you sure you want to delete this recording?</source>
        <translation>Möchten Sie diese Aufnahme wirklich löschen?</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>New memo</source>
        <translation>Neues Memo</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
</context>
<context>
    <name>ButtonAccessible</name>
    <message>
        <source>on</source>
        <translation>an</translation>
    </message>
    <message>
        <source>off</source>
        <translation>aus</translation>
    </message>
</context>
<context>
    <name>CountDownPicker</name>
    <message>
        <source>hours</source>
        <translation>Std.</translation>
    </message>
    <message>
        <source>min</source>
        <translation>Min.</translation>
    </message>
    <message numerus="yes">
        <source>%n hour(s)</source>
        <translation>
            <numerusform>%n Stunde</numerusform>
            <numerusform>%n Stunden</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n minute(s)</source>
        <translation>
            <numerusform>%n Minute</numerusform>
            <numerusform>%n Minuten</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 %2</source>
        <translation>%1 %2</translation>
    </message>
</context>
<context>
    <name>DashboardView</name>
    <message>
        <source>Timer</source>
        <translation>Timer</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Quality: low, 11 kHz</source>
        <translation>Qualität: niedrig, 11 kHz</translation>
    </message>
    <message>
        <source>Quality: medium, 22 kHz</source>
        <translation>Qualität: mittel, 22 kHz</translation>
    </message>
    <message>
        <source>Quality: high, 44 kHz</source>
        <translation>Qualität: hoch, 44 kHz</translation>
    </message>
    <message>
        <source>Play speed: 0.75 times</source>
        <translation>Wiedergabetempo: 0,75-fach</translation>
    </message>
    <message>
        <source>Play speed: normal</source>
        <translation>Wiedergabetempo: normal</translation>
    </message>
    <message>
        <source>Play speed: 1.5 times</source>
        <translation>Wiedergabetempo: 1,5-fach</translation>
    </message>
</context>
<context>
    <name>ExportController</name>
    <message>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>Web Sharing</source>
        <translation>Web-Freigabe</translation>
    </message>
    <message>
        <source>Bonjour address:</source>
        <translation>Bonjour-Adresse:</translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>IP-Adresse:</translation>
    </message>
    <message>
        <source>Bonjour is unavailable here: open the IP address in a browser.</source>
        <translation>Bonjour ist hier nicht verfügbar: Öffnen Sie die IP-Adresse in einem Browser.</translation>
    </message>
    <message>
        <source>Send to Another Device</source>
        <translation>An anderes Gerät senden</translation>
    </message>
    <message>
        <source>Email Recording</source>
        <translation>Aufnahme per E-Mail</translation>
    </message>
    <message>
        <source>Sending Email (%1% complete):</source>
        <translation>E-Mail wird gesendet (%1 % fertig):</translation>
    </message>
</context>
<context>
    <name>ImagePickerController</name>
    <message>
        <source>Photos</source>
        <translation>Fotos</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Choose</source>
        <translation>Auswählen</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>The pictures folder %1 does not exist.</source>
        <translation>Der Bilderordner %1 existiert nicht.</translation>
    </message>
    <message>
        <source>There are no pictures in %1.</source>
        <translation>In %1 gibt es keine Bilder.</translation>
    </message>
</context>
<context>
    <name>ImageSlider</name>
    <message>
        <source>%1 percent</source>
        <translation>%1 Prozent</translation>
    </message>
</context>
<context>
    <name>ItemDetailsController</name>
    <message>
        <source>Details</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Category</source>
        <translation>Kategorie</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualität</translation>
    </message>
    <message>
        <source>Channels</source>
        <translation>Kanäle</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>Ort</translation>
    </message>
    <message>
        <source>Hide from Web Sharing</source>
        <translation>Nicht im Web freigeben</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Aufnahme</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>mono</source>
        <translation>mono</translation>
    </message>
    <message>
        <source>stereo</source>
        <translation>stereo</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>unbekannt</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Add Photo</source>
        <translation>Foto hinzufügen</translation>
    </message>
    <message>
        <source>Choose photo source:</source>
        <translation>Fotoquelle wählen:</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>New Photo</source>
        <translation>Neues Foto</translation>
    </message>
    <message>
        <source>From Library</source>
        <translation>Aus der Mediathek</translation>
    </message>
    <message>
        <source>The picture could not be read. The recording keeps its photo as it was.</source>
        <translation>Das Bild konnte nicht gelesen werden. Die Aufnahme behält ihr bisheriges Foto.</translation>
    </message>
    <message>
        <source>The photo could not be saved (%1). The recording keeps its photo as it was.</source>
        <translation>Das Foto konnte nicht gespeichert werden (%1). Die Aufnahme behält ihr bisheriges Foto.</translation>
    </message>
    <message>
        <source>its file is not a regular file inside the documents folder</source>
        <translation>ihre Datei ist keine normale Datei im Dokumentordner</translation>
    </message>
    <message>
        <source>the picture could not be encoded as JPEG</source>
        <translation>das Bild konnte nicht als JPEG gespeichert werden</translation>
    </message>
    <message>
        <source>Photo</source>
        <translation>Foto</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Category: %1</source>
        <translation>Kategorie: %1</translation>
    </message>
</context>
<context>
    <name>Level1ViewController</name>
    <message>
        <source>Categories</source>
        <translation>Kategorien</translation>
    </message>
    <message numerus="yes">
        <source>%n files</source>
        <translation>
            <numerusform>%n Datei</numerusform>
            <numerusform>%n Dateien</numerusform>
        </translation>
    </message>
    <message>
        <source>New Category</source>
        <translation>Neue Kategorie</translation>
    </message>
    <message>
        <source>All (%1)</source>
        <translation>Alle (%1)</translation>
    </message>
    <message>
        <source>Enter Category Name</source>
        <translation>Kategoriename eingeben</translation>
    </message>
    <message>
        <source>this gets covered</source>
        <translation>wird verdeckt</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>Level2ViewController</name>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>New Memo</source>
        <translation>Neues Memo</translation>
    </message>
    <message>
        <source>Enter Recording Name</source>
        <translation>Aufnahmename eingeben</translation>
    </message>
    <message>
        <source>this gets covered</source>
        <translation>wird verdeckt</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message numerus="yes">
        <source>%n Results found for &quot;%1&quot;</source>
        <translation>
            <numerusform>%n Treffer für „%1“</numerusform>
            <numerusform>%n Treffer für „%1“</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n Result found for &quot;%1&quot;</source>
        <translation>
            <numerusform>%n Treffer für „%1“</numerusform>
            <numerusform>%n Treffer für „%1“</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n files</source>
        <translation>
            <numerusform>%1 von %n Datei</numerusform>
            <numerusform>%1 von %n Dateien</numerusform>
        </translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
</context>
<context>
    <name>LibraryFooter</name>
    <message>
        <source>Record</source>
        <translation>Aufnahme</translation>
    </message>
</context>
<context>
    <name>LibrarySaver</name>
    <message>
        <source>%1 leads outside the documents folder</source>
        <translation>%1 führt aus dem Dokumentordner hinaus</translation>
    </message>
</context>
<context>
    <name>LocatorView</name>
    <message numerus="yes">
        <source>%n hour(s)</source>
        <translation>
            <numerusform>%n Stunde</numerusform>
            <numerusform>%n Stunden</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n minute(s)</source>
        <translation>
            <numerusform>%n Minute</numerusform>
            <numerusform>%n Minuten</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n second(s)</source>
        <translation>
            <numerusform>%n Sekunde</numerusform>
            <numerusform>%n Sekunden</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>Go to start</source>
        <translation>Zum Anfang</translation>
    </message>
    <message>
        <source>Play position</source>
        <translation>Wiedergabeposition</translation>
    </message>
</context>
<context>
    <name>MediaControls</name>
    <message>
        <source>Sonavell</source>
        <translation>Sonavell</translation>
    </message>
</context>
<context>
    <name>MeterView</name>
    <message>
        <source>Share played</source>
        <translation>Abgespielter Anteil</translation>
    </message>
    <message>
        <source>Sound level</source>
        <translation>Pegel</translation>
    </message>
    <message>
        <source>%1 percent</source>
        <translation>%1 Prozent</translation>
    </message>
</context>
<context>
    <name>NavigationBarButton</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
</context>
<context>
    <name>NavigationController</name>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
</context>
<context>
    <name>PeoplePickerNavigationController</name>
    <message>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>No contacts. Sonavell reads vCard files from ~/.local/share/contacts and from the contacts_path setting.</source>
        <translation>Keine Kontakte. Sonavell liest vCard-Dateien aus ~/.local/share/contacts und aus der Einstellung contacts_path.</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
</context>
<context>
    <name>RELO_BrowserController</name>
    <message>
        <source>Send to Device</source>
        <translation>An Gerät senden</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Receivers on this network:</source>
        <translation>Empfänger in diesem Netzwerk:</translation>
    </message>
    <message>
        <source>Memo to send</source>
        <translation>Zu sendendes Memo</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Connecting…</source>
        <translation>Verbinden…</translation>
    </message>
    <message>
        <source>Connected.</source>
        <translation>Verbunden.</translation>
    </message>
    <message>
        <source>The receiver accepted the recording.</source>
        <translation>Der Empfänger hat die Aufnahme angenommen.</translation>
    </message>
    <message>
        <source>The receiver declined the recording.</source>
        <translation>Der Empfänger hat die Aufnahme abgelehnt.</translation>
    </message>
    <message>
        <source>Sending…</source>
        <translation>Senden…</translation>
    </message>
    <message>
        <source>Sending failed: the receiver went away or stopped answering.</source>
        <translation>Senden fehlgeschlagen: Der Empfänger ist weg oder antwortet nicht mehr.</translation>
    </message>
    <message>
        <source>Sent.</source>
        <translation>Gesendet.</translation>
    </message>
    <message>
        <source>Memo: %1</source>
        <translation>Memo: %1</translation>
    </message>
    <message>
        <source>No memo is chosen.</source>
        <translation>Kein Memo ausgewählt.</translation>
    </message>
    <message>
        <source>Connecting to %1…</source>
        <translation>Verbinden mit %1…</translation>
    </message>
    <message>
        <source>Connected to %1.</source>
        <translation>Verbunden mit %1.</translation>
    </message>
    <message>
        <source>Sending “%1”…</source>
        <translation>„%1“ wird gesendet…</translation>
    </message>
    <message>
        <source>Sent “%1” to %2.</source>
        <translation>„%1“ an %2 gesendet.</translation>
    </message>
    <message>
        <source>Receivers on this network</source>
        <translation>Empfänger in diesem Netzwerk</translation>
    </message>
</context>
<context>
    <name>RecTimerController</name>
    <message>
        <source>Timer</source>
        <translation>Timer</translation>
    </message>
    <message>
        <source>Stop recording after</source>
        <translation>Aufnahme beenden nach</translation>
    </message>
    <message>
        <source>Count in before recording</source>
        <translation>Vor der Aufnahme einzählen</translation>
    </message>
    <message>
        <source>Stop automatically</source>
        <translation>Automatisch beenden</translation>
    </message>
</context>
<context>
    <name>SearchBar</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
</context>
<context>
    <name>SettingsViewController</name>
    <message>
        <source>Location stamping</source>
        <translation>Ort vermerken</translation>
    </message>
    <message>
        <source>Keep pitch at other speeds</source>
        <translation>Tonhöhe bei anderem Tempo halten</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Mikrofon</translation>
    </message>
    <message>
        <source>E-mail subject</source>
        <translation>E-Mail-Betreff</translation>
    </message>
    <message>
        <source>E-mail text</source>
        <translation>E-Mail-Text</translation>
    </message>
    <message>
        <source>E-mail memos as</source>
        <translation>Memos mailen als</translation>
    </message>
    <message>
        <source>Upload server</source>
        <translation>Upload-Server</translation>
    </message>
    <message>
        <source>Help site</source>
        <translation>Hilfeseiten</translation>
    </message>
    <message>
        <source>Pictures</source>
        <translation>Bilder</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message>
        <source>WAV (as recorded)</source>
        <translation>WAV (wie aufgenommen)</translation>
    </message>
    <message>
        <source>Opus (smallest)</source>
        <translation>Opus (am kleinsten)</translation>
    </message>
    <message>
        <source>FLAC (lossless)</source>
        <translation>FLAC (verlustfrei)</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>http://host:8025</source>
        <translation>http://host:8025</translation>
    </message>
    <message>
        <source>Pages that come with it</source>
        <translation>Die mitgelieferten Seiten</translation>
    </message>
    <message>
        <source>A vCard file or folder</source>
        <translation>Eine vCard-Datei oder ein Ordner</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not the address of an upload server. Enter it as http://HOST:PORT, for example http://192.168.1.10:8025.</source>
        <translation>„%1“ ist keine Adresse eines Upload-Servers. Geben Sie sie als http://HOST:PORT ein, zum Beispiel http://192.168.1.10:8025.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is neither a web address (http:// or https://) nor a folder that exists.</source>
        <translation>„%1“ ist weder eine Webadresse (http:// oder https://) noch ein vorhandener Ordner.</translation>
    </message>
    <message>
        <source>There is no folder &quot;%1&quot;.</source>
        <translation>Es gibt keinen Ordner „%1“.</translation>
    </message>
    <message>
        <source>There is no vCard file or folder &quot;%1&quot;.</source>
        <translation>Es gibt keine vCard-Datei und keinen Ordner „%1“.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Default input</source>
        <translation>Standardeingang</translation>
    </message>
    <message>
        <source>%1 (not connected)</source>
        <translation>%1 (nicht verbunden)</translation>
    </message>
    <message>
        <source>Record from</source>
        <translation>Aufnehmen von</translation>
    </message>
    <message>
        <source>Not Saved</source>
        <translation>Nicht gespeichert</translation>
    </message>
    <message>
        <source>The setting stays as it was.</source>
        <translation>Die Einstellung bleibt, wie sie war.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>SwitchControl</name>
    <message>
        <source>ON</source>
        <translation>EIN</translation>
    </message>
    <message>
        <source>OFF</source>
        <translation>AUS</translation>
    </message>
</context>
<context>
    <name>TableView</name>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
</context>
<context>
    <name>TableViewCell</name>
    <message>
        <source>Show details</source>
        <translation>Details zeigen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>Einfügen</translation>
    </message>
</context>
<context>
    <name>TransportView</name>
    <message>
        <source>Append</source>
        <translation>Anhängen</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Aufnehmen</translation>
    </message>
    <message>
        <source>Spring-loaded shuttle</source>
        <translation>Federnder Shuttle-Ring</translation>
    </message>
    <message>
        <source>Position slider</source>
        <translation>Positionsregler</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Lautstärke</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Position</translation>
    </message>
</context>
<context>
    <name>WebView</name>
    <message>
        <source>%1 cannot be read.</source>
        <translation>%1 kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>%1 is not a web address.</source>
        <translation>%1 ist keine Webadresse.</translation>
    </message>
    <message>
        <source>This page could not be loaded</source>
        <translation>Diese Seite konnte nicht geladen werden</translation>
    </message>
</context>
</TS>
