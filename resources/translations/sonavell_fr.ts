<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>AddressBookViewController</name>
    <message>
        <source>Email</source>
        <translation>E-mail</translation>
    </message>
    <message>
        <source>name@example.org</source>
        <translation>nom@example.org</translation>
    </message>
    <message>
        <source>To:</source>
        <translation>À&#xa0;:</translation>
    </message>
    <message>
        <source>From:</source>
        <translation>De&#xa0;:</translation>
    </message>
    <message>
        <source>Subject:</source>
        <translation>Objet&#xa0;:</translation>
    </message>
    <message>
        <source>Text:</source>
        <translation>Texte&#xa0;:</translation>
    </message>
    <message>
        <source>Address Book</source>
        <translation>Carnet d’adresses</translation>
    </message>
    <message>
        <source>The recording is uploaded to your upload server, which e-mails it as an attachment.</source>
        <translation>L’enregistrement est envoyé à votre serveur d’envoi, qui l’expédie par e-mail en pièce jointe.</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Envoyer</translation>
    </message>
    <message>
        <source>Memo: %1</source>
        <translation>Mémo&#xa0;: %1</translation>
    </message>
    <message>
        <source>No memo is chosen.</source>
        <translation>Aucun mémo n’est choisi.</translation>
    </message>
    <message>
        <source>Memo to send</source>
        <translation>Mémo à envoyer</translation>
    </message>
    <message>
        <source>Not Available</source>
        <translation>Non disponible</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Erreur</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Terminé</translation>
    </message>
    <message>
        <source>A recording is being e-mailed now. Wait until it has been sent.</source>
        <translation>Un enregistrement est en cours d’envoi par e-mail. Attendez qu’il soit parti.</translation>
    </message>
    <message>
        <source>No upload server is configured. E-mail goes through a sonavell-upload-server; set its address (for example http://192.168.1.10:8025) as &quot;upload_url&quot; in Sonavell&apos;s settings.</source>
        <translation>Aucun serveur d’envoi n’est configuré. Les e-mails passent par un sonavell-upload-server&#xa0;; indiquez son adresse (par exemple http://192.168.1.10:8025) comme «&#xa0;upload_url&#xa0;» dans les réglages de Sonavell.</translation>
    </message>
    <message>
        <source>There is no recording to send. Choose a recording first.</source>
        <translation>Il n’y a aucun enregistrement à envoyer. Choisissez d’abord un enregistrement.</translation>
    </message>
    <message>
        <source>The recording&apos;s file could not be found.</source>
        <translation>Le fichier de l’enregistrement est introuvable.</translation>
    </message>
    <message>
        <source>Sonavell cannot email recordings larger than 10MB.</source>
        <translation>Sonavell ne peut pas envoyer par e-mail d’enregistrements de plus de 10 Mo.</translation>
    </message>
    <message>
        <source>Enter the recipient&apos;s e-mail address, or pick one from the address book.</source>
        <translation>Saisissez l’adresse e-mail du destinataire ou choisissez-en une dans le carnet d’adresses.</translation>
    </message>
    <message>
        <source>Sending Recording</source>
        <translation>Envoi de l’enregistrement</translation>
    </message>
    <message>
        <source>The recording is now being uploaded to our server and will be emailed when the upload is complete.  Do not quit Sonavell until the upload has completed, or the email will not be sent.</source>
        <translation>L’enregistrement est en cours d’envoi vers notre serveur et sera expédié par e-mail une fois l’envoi terminé. Ne quittez pas Sonavell avant la fin de l’envoi, sinon l’e-mail ne partira pas.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Size to send: %1 (%2)</source>
        <translation>Taille à envoyer&#xa0;: %1 (%2)</translation>
    </message>
    <message>
        <source>There is no room for the converted copy of the memo.</source>
        <translation>Il n’y a pas de place pour la copie convertie du mémo.</translation>
    </message>
    <message>
        <source>Converting to %1…</source>
        <translation>Conversion en %1…</translation>
    </message>
    <message>
        <source>The memo could not be converted to %1: %2</source>
        <translation>Le mémo n’a pas pu être converti en %1&#xa0;: %2</translation>
    </message>
    <message>
        <source>Send Recording</source>
        <translation>Envoyer l’enregistrement</translation>
    </message>
    <message>
        <source>Sonavell has successfully uploaded the recording to our server and the email has been sent.</source>
        <translation>Sonavell a bien envoyé l’enregistrement à notre serveur, et l’e-mail est parti.</translation>
    </message>
    <message>
        <source>An error ocurred sending the memo as an email.  Make sure you are connected to a network, check the email settings and try again. </source>
        <translation>Une erreur s’est produite lors de l’envoi du mémo par e-mail. Vérifiez que vous êtes connecté à un réseau, contrôlez les réglages d’e-mail et réessayez. </translation>
    </message>
</context>
<context>
    <name>AlertPanel</name>
    <message>
        <source>Alert</source>
        <translation>Alerte</translation>
    </message>
    <message>
        <source>Choices</source>
        <translation>Choix</translation>
    </message>
</context>
<context>
    <name>AppDelegate</name>
    <message>
        <source>Your library could not be saved (%1). The last saved copy is kept; Sonavell tries again with your next change.</source>
        <translation>Votre bibliothèque n’a pas pu être enregistrée (%1). La dernière copie enregistrée est conservée&#xa0;; Sonavell réessaiera à votre prochaine modification.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>Astuce</translation>
    </message>
    <message>
        <source>To ensure interruption-free recordings, change your phone settings to Airplane mode.</source>
        <translation>Pour des enregistrements sans interruption, mettez votre téléphone en mode Avion.</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Terminé</translation>
    </message>
    <message>
        <source>Sonavell found a recording that was not saved in the database.  Any recordings the have been reconnected to the database are now renamed &quot;Recovered Memo.&quot;</source>
        <translation>Sonavell a trouvé un enregistrement qui n’était pas dans la base de données. Les enregistrements rattachés à nouveau à la base s’appellent désormais «&#xa0;Recovered Memo&#xa0;».</translation>
    </message>
    <message>
        <source>%1GB Used</source>
        <translation>%1 Go utilisés</translation>
    </message>
    <message>
        <source>%1MB Used</source>
        <translation>%1 Mo utilisés</translation>
    </message>
    <message>
        <source>%1GB Free</source>
        <translation>%1 Go libres</translation>
    </message>
    <message>
        <source>%1MB Free</source>
        <translation>%1 Mo libres</translation>
    </message>
</context>
<context>
    <name>AppInfoController</name>
    <message>
        <source>Sonavell Manual</source>
        <translation>Manuel de Sonavell</translation>
    </message>
    <message>
        <source>Edit your Memos</source>
        <translation>Modifier vos mémos</translation>
    </message>
    <message>
        <source>Report a Bug</source>
        <translation>Signaler un bug</translation>
    </message>
    <message>
        <source>Request a Feature</source>
        <translation>Suggérer une fonction</translation>
    </message>
    <message>
        <source>Sonavell Website</source>
        <translation>Site web de Sonavell</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Aide</translation>
    </message>
</context>
<context>
    <name>AudioConverter</name>
    <message>
        <source>The memo could not be resampled for Opus.</source>
        <translation>Le mémo n’a pas pu être rééchantillonné pour Opus.</translation>
    </message>
    <message>
        <source>The memo&apos;s file is damaged and could not be read.</source>
        <translation>Le fichier du mémo est endommagé et n’a pas pu être lu.</translation>
    </message>
    <message>
        <source>The converted file could not be written: %1</source>
        <translation>Le fichier converti n’a pas pu être écrit&#xa0;: %1</translation>
    </message>
    <message>
        <source>The memo&apos;s file is missing.</source>
        <translation>Le fichier du mémo est manquant.</translation>
    </message>
    <message>
        <source>The memo holds no audio.</source>
        <translation>Le mémo ne contient aucun son.</translation>
    </message>
    <message>
        <source>The converted file could not be written.</source>
        <translation>Le fichier converti n’a pas pu être écrit.</translation>
    </message>
    <message>
        <source>The converted file could not be put in place.</source>
        <translation>Le fichier converti n’a pas pu être mis en place.</translation>
    </message>
</context>
<context>
    <name>AudioViewController</name>
    <message>
        <source>The recording could not be saved: %1 is not a file in the documents folder.</source>
        <translation>L’enregistrement n’a pas pu être sauvegardé&#xa0;: %1 n’est pas un fichier du dossier des documents.</translation>
    </message>
    <message>
        <source>The recording could not be saved: %1.</source>
        <translation>L’enregistrement n’a pas pu être sauvegardé&#xa0;: %1.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>No sound device is available.</source>
        <translation>Aucun périphérique audio n’est disponible.</translation>
    </message>
    <message>
        <source>The sound device refused to record.</source>
        <translation>Le périphérique audio a refusé d’enregistrer.</translation>
    </message>
    <message>
        <source>The sound device refused to play.</source>
        <translation>Le périphérique audio a refusé de lire.</translation>
    </message>
    <message>
        <source>The sound device was lost. The playback was stopped.</source>
        <translation>Le périphérique audio a disparu. La lecture a été arrêtée.</translation>
    </message>
    <message>
        <source>Recording Stopped</source>
        <translation>Enregistrement arrêté</translation>
    </message>
    <message>
        <source>The sound device was lost. The recording was stopped and saved.</source>
        <translation>Le périphérique audio a disparu. L’enregistrement a été arrêté et sauvegardé.</translation>
    </message>
    <message>
        <source>of</source>
        <translation>sur</translation>
    </message>
    <message>
        <source>Volume Boost</source>
        <translation>Amplification</translation>
    </message>
    <message>
        <source>Are you sure you want to delete this recording?</source>
        <translation>Voulez-vous vraiment supprimer cet enregistrement&#xa0;?</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Supprimer</translation>
    </message>
    <message>
        <source>New memo</source>
        <translation>Nouveau mémo</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Aide</translation>
    </message>
</context>
<context>
    <name>ButtonAccessible</name>
    <message>
        <source>on</source>
        <translation>activé</translation>
    </message>
    <message>
        <source>off</source>
        <translation>désactivé</translation>
    </message>
</context>
<context>
    <name>CountDownPicker</name>
    <message>
        <source>hours</source>
        <translation>heures</translation>
    </message>
    <message>
        <source>min</source>
        <translation>min</translation>
    </message>
    <message numerus="yes">
        <source>%n hour(s)</source>
        <translation>
            <numerusform>%n heure</numerusform>
            <numerusform>%n heures</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n minute(s)</source>
        <translation>
            <numerusform>%n minute</numerusform>
            <numerusform>%n minutes</numerusform>
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
        <translation>Minuteur</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Envoyer</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Supprimer</translation>
    </message>
    <message>
        <source>Quality: low, 11 kHz</source>
        <translation>Qualité : basse, 11 kHz</translation>
    </message>
    <message>
        <source>Quality: medium, 22 kHz</source>
        <translation>Qualité : moyenne, 22 kHz</translation>
    </message>
    <message>
        <source>Quality: high, 44 kHz</source>
        <translation>Qualité : haute, 44 kHz</translation>
    </message>
    <message>
        <source>Play speed: 0.75 times</source>
        <translation>Vitesse de lecture : 0,75 fois</translation>
    </message>
    <message>
        <source>Play speed: normal</source>
        <translation>Vitesse de lecture : normale</translation>
    </message>
    <message>
        <source>Play speed: 1.5 times</source>
        <translation>Vitesse de lecture : 1,5 fois</translation>
    </message>
</context>
<context>
    <name>ExportController</name>
    <message>
        <source>Export</source>
        <translation>Exporter</translation>
    </message>
    <message>
        <source>Web Sharing</source>
        <translation>Partage web</translation>
    </message>
    <message>
        <source>Bonjour address:</source>
        <translation>Adresse Bonjour&#xa0;:</translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>Adresse IP&#xa0;:</translation>
    </message>
    <message>
        <source>Bonjour is unavailable here: open the IP address in a browser.</source>
        <translation>Bonjour n’est pas disponible ici&#xa0;: ouvrez l’adresse IP dans un navigateur.</translation>
    </message>
    <message>
        <source>Send to Another Device</source>
        <translation>Envoyer à un autre appareil</translation>
    </message>
    <message>
        <source>Email Recording</source>
        <translation>Envoyer par e-mail</translation>
    </message>
    <message>
        <source>Sending Email (%1% complete):</source>
        <translation>Envoi de l’e-mail (%1&#xa0;% terminé)&#xa0;:</translation>
    </message>
</context>
<context>
    <name>ImagePickerController</name>
    <message>
        <source>Photos</source>
        <translation>Photos</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Choose</source>
        <translation>Choisir</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Aperçu</translation>
    </message>
    <message>
        <source>The pictures folder %1 does not exist.</source>
        <translation>Le dossier d’images %1 n’existe pas.</translation>
    </message>
    <message>
        <source>There are no pictures in %1.</source>
        <translation>Il n’y a aucune image dans %1.</translation>
    </message>
</context>
<context>
    <name>ImageSlider</name>
    <message>
        <source>%1 percent</source>
        <translation>%1 pour cent</translation>
    </message>
</context>
<context>
    <name>ItemDetailsController</name>
    <message>
        <source>Details</source>
        <translation>Détails</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>Category</source>
        <translation>Catégorie</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Durée</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Taille</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualité</translation>
    </message>
    <message>
        <source>Channels</source>
        <translation>Canaux</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>Lieu</translation>
    </message>
    <message>
        <source>Hide from Web Sharing</source>
        <translation>Masquer du partage web</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Enreg.</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Lire</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exporter</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Terminé</translation>
    </message>
    <message>
        <source>mono</source>
        <translation>mono</translation>
    </message>
    <message>
        <source>stereo</source>
        <translation>stéréo</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>inconnu</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Tous</translation>
    </message>
    <message>
        <source>Add Photo</source>
        <translation>Ajouter une photo</translation>
    </message>
    <message>
        <source>Choose photo source:</source>
        <translation>Choisir la source de la photo&#xa0;:</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>New Photo</source>
        <translation>Nouvelle photo</translation>
    </message>
    <message>
        <source>From Library</source>
        <translation>Depuis la photothèque</translation>
    </message>
    <message>
        <source>The picture could not be read. The recording keeps its photo as it was.</source>
        <translation>L’image n’a pas pu être lue. L’enregistrement garde sa photo telle quelle.</translation>
    </message>
    <message>
        <source>The photo could not be saved (%1). The recording keeps its photo as it was.</source>
        <translation>La photo n’a pas pu être enregistrée (%1). L’enregistrement garde sa photo telle quelle.</translation>
    </message>
    <message>
        <source>its file is not a regular file inside the documents folder</source>
        <translation>son fichier n’est pas un fichier ordinaire du dossier des documents</translation>
    </message>
    <message>
        <source>the picture could not be encoded as JPEG</source>
        <translation>l’image n’a pas pu être encodée en JPEG</translation>
    </message>
    <message>
        <source>Photo</source>
        <translation>Photo</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Category: %1</source>
        <translation>Catégorie : %1</translation>
    </message>
</context>
<context>
    <name>Level1ViewController</name>
    <message>
        <source>Categories</source>
        <translation>Catégories</translation>
    </message>
    <message numerus="yes">
        <source>%n files</source>
        <translation>
            <numerusform>%n fichier</numerusform>
            <numerusform>%n fichiers</numerusform>
        </translation>
    </message>
    <message>
        <source>New Category</source>
        <translation>Nouvelle catégorie</translation>
    </message>
    <message>
        <source>All (%1)</source>
        <translation>Tous (%1)</translation>
    </message>
    <message>
        <source>Enter Category Name</source>
        <translation>Nom de la catégorie</translation>
    </message>
    <message>
        <source>this gets covered</source>
        <translation>sera masqué</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
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
        <translation>Rechercher</translation>
    </message>
    <message>
        <source>New Memo</source>
        <translation>Nouveau mémo</translation>
    </message>
    <message>
        <source>Enter Recording Name</source>
        <translation>Nom de l’enregistrement</translation>
    </message>
    <message>
        <source>this gets covered</source>
        <translation>sera masqué</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message numerus="yes">
        <source>%n Results found for &quot;%1&quot;</source>
        <translation>
            <numerusform>%n résultat pour «&#xa0;%1&#xa0;»</numerusform>
            <numerusform>%n résultats pour «&#xa0;%1&#xa0;»</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n Result found for &quot;%1&quot;</source>
        <translation>
            <numerusform>%n résultat pour «&#xa0;%1&#xa0;»</numerusform>
            <numerusform>%n résultats pour «&#xa0;%1&#xa0;»</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n files</source>
        <translation>
            <numerusform>%1 sur %n fichier</numerusform>
            <numerusform>%1 sur %n fichiers</numerusform>
        </translation>
    </message>
    <message>
        <source>All</source>
        <translation>Tous</translation>
    </message>
</context>
<context>
    <name>LibraryFooter</name>
    <message>
        <source>Record</source>
        <translation>Enreg.</translation>
    </message>
</context>
<context>
    <name>LibrarySaver</name>
    <message>
        <source>%1 leads outside the documents folder</source>
        <translation>%1 mène hors du dossier des documents</translation>
    </message>
</context>
<context>
    <name>LocatorView</name>
    <message numerus="yes">
        <source>%n hour(s)</source>
        <translation>
            <numerusform>%n heure</numerusform>
            <numerusform>%n heures</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n minute(s)</source>
        <translation>
            <numerusform>%n minute</numerusform>
            <numerusform>%n minutes</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n second(s)</source>
        <translation>
            <numerusform>%n seconde</numerusform>
            <numerusform>%n secondes</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 sur %2</translation>
    </message>
    <message>
        <source>Go to start</source>
        <translation>Aller au début</translation>
    </message>
    <message>
        <source>Play position</source>
        <translation>Position de lecture</translation>
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
        <translation>Part lue</translation>
    </message>
    <message>
        <source>Sound level</source>
        <translation>Niveau sonore</translation>
    </message>
    <message>
        <source>%1 percent</source>
        <translation>%1 pour cent</translation>
    </message>
</context>
<context>
    <name>NavigationBarButton</name>
    <message>
        <source>Settings</source>
        <translation>Réglages</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Ajouter</translation>
    </message>
</context>
<context>
    <name>NavigationController</name>
    <message>
        <source>Back</source>
        <translation>Retour</translation>
    </message>
</context>
<context>
    <name>PeoplePickerNavigationController</name>
    <message>
        <source>Contacts</source>
        <translation>Contacts</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Rechercher</translation>
    </message>
    <message>
        <source>No contacts. Sonavell reads vCard files from ~/.local/share/contacts and from the contacts_path setting.</source>
        <translation>Aucun contact. Sonavell lit les fichiers vCard de ~/.local/share/contacts et du réglage contacts_path.</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Done</source>
        <translation>Terminé</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Modifier</translation>
    </message>
</context>
<context>
    <name>RELO_BrowserController</name>
    <message>
        <source>Send to Device</source>
        <translation>Envoyer à un appareil</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Terminé</translation>
    </message>
    <message>
        <source>Receivers on this network:</source>
        <translation>Récepteurs sur ce réseau&#xa0;:</translation>
    </message>
    <message>
        <source>Memo to send</source>
        <translation>Mémo à envoyer</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Envoyer</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Connecting…</source>
        <translation>Connexion…</translation>
    </message>
    <message>
        <source>Connected.</source>
        <translation>Connecté.</translation>
    </message>
    <message>
        <source>The receiver accepted the recording.</source>
        <translation>Le récepteur a accepté l’enregistrement.</translation>
    </message>
    <message>
        <source>The receiver declined the recording.</source>
        <translation>Le récepteur a refusé l’enregistrement.</translation>
    </message>
    <message>
        <source>Sending…</source>
        <translation>Envoi…</translation>
    </message>
    <message>
        <source>Sending failed: the receiver went away or stopped answering.</source>
        <translation>Échec de l’envoi&#xa0;: le récepteur a disparu ou ne répond plus.</translation>
    </message>
    <message>
        <source>Sent.</source>
        <translation>Envoyé.</translation>
    </message>
    <message>
        <source>Memo: %1</source>
        <translation>Mémo&#xa0;: %1</translation>
    </message>
    <message>
        <source>No memo is chosen.</source>
        <translation>Aucun mémo n’est choisi.</translation>
    </message>
    <message>
        <source>Connecting to %1…</source>
        <translation>Connexion à %1…</translation>
    </message>
    <message>
        <source>Connected to %1.</source>
        <translation>Connecté à %1.</translation>
    </message>
    <message>
        <source>Sending “%1”…</source>
        <translation>Envoi de «&#xa0;%1&#xa0;»…</translation>
    </message>
    <message>
        <source>Sent “%1” to %2.</source>
        <translation>«&#xa0;%1&#xa0;» envoyé à %2.</translation>
    </message>
    <message>
        <source>Receivers on this network</source>
        <translation>Récepteurs sur ce réseau</translation>
    </message>
</context>
<context>
    <name>RecTimerController</name>
    <message>
        <source>Timer</source>
        <translation>Minuteur</translation>
    </message>
    <message>
        <source>Stop recording after</source>
        <translation>Arrêter l’enregistrement après</translation>
    </message>
    <message>
        <source>Count in before recording</source>
        <translation>Décompte avant l’enregistrement</translation>
    </message>
    <message>
        <source>Stop automatically</source>
        <translation>Arrêt automatique</translation>
    </message>
</context>
<context>
    <name>SearchBar</name>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Rechercher</translation>
    </message>
</context>
<context>
    <name>SettingsViewController</name>
    <message>
        <source>Location stamping</source>
        <translation>Noter le lieu</translation>
    </message>
    <message>
        <source>Keep pitch at other speeds</source>
        <translation>Garder la hauteur aux autres vitesses</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Micro</translation>
    </message>
    <message>
        <source>E-mail subject</source>
        <translation>Objet de l’e-mail</translation>
    </message>
    <message>
        <source>E-mail text</source>
        <translation>Texte de l’e-mail</translation>
    </message>
    <message>
        <source>E-mail memos as</source>
        <translation>Envoyer les mémos en</translation>
    </message>
    <message>
        <source>Upload server</source>
        <translation>Serveur d’envoi</translation>
    </message>
    <message>
        <source>Help site</source>
        <translation>Site d’aide</translation>
    </message>
    <message>
        <source>Pictures</source>
        <translation>Images</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Contacts</translation>
    </message>
    <message>
        <source>WAV (as recorded)</source>
        <translation>WAV (tel qu’enregistré)</translation>
    </message>
    <message>
        <source>Opus (smallest)</source>
        <translation>Opus (le plus léger)</translation>
    </message>
    <message>
        <source>FLAC (lossless)</source>
        <translation>FLAC (sans perte)</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Réglages</translation>
    </message>
    <message>
        <source>http://host:8025</source>
        <translation>http://host:8025</translation>
    </message>
    <message>
        <source>Pages that come with it</source>
        <translation>Les pages fournies</translation>
    </message>
    <message>
        <source>A vCard file or folder</source>
        <translation>Un fichier ou dossier vCard</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not the address of an upload server. Enter it as http://HOST:PORT, for example http://192.168.1.10:8025.</source>
        <translation>«&#xa0;%1&#xa0;» n’est pas l’adresse d’un serveur d’envoi. Saisissez-la sous la forme http://HOTE:PORT, par exemple http://192.168.1.10:8025.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is neither a web address (http:// or https://) nor a folder that exists.</source>
        <translation>«&#xa0;%1&#xa0;» n’est ni une adresse web (http:// ou https://) ni un dossier existant.</translation>
    </message>
    <message>
        <source>There is no folder &quot;%1&quot;.</source>
        <translation>Il n’y a pas de dossier «&#xa0;%1&#xa0;».</translation>
    </message>
    <message>
        <source>There is no vCard file or folder &quot;%1&quot;.</source>
        <translation>Il n’y a pas de fichier ou dossier vCard «&#xa0;%1&#xa0;».</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Default input</source>
        <translation>Entrée par défaut</translation>
    </message>
    <message>
        <source>%1 (not connected)</source>
        <translation>%1 (non connecté)</translation>
    </message>
    <message>
        <source>Record from</source>
        <translation>Enregistrer depuis</translation>
    </message>
    <message>
        <source>Not Saved</source>
        <translation>Non enregistré</translation>
    </message>
    <message>
        <source>The setting stays as it was.</source>
        <translation>Le réglage reste tel qu’il était.</translation>
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
        <translation>OUI</translation>
    </message>
    <message>
        <source>OFF</source>
        <translation>NON</translation>
    </message>
</context>
<context>
    <name>TableView</name>
    <message>
        <source>Delete</source>
        <translation>Supprimer</translation>
    </message>
</context>
<context>
    <name>TableViewCell</name>
    <message>
        <source>Show details</source>
        <translation>Afficher les détails</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Supprimer</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>Insérer</translation>
    </message>
</context>
<context>
    <name>TransportView</name>
    <message>
        <source>Append</source>
        <translation>Ajouter à la fin</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Lire</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Arrêter</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Enregistrer</translation>
    </message>
    <message>
        <source>Spring-loaded shuttle</source>
        <translation>Molette à retour automatique</translation>
    </message>
    <message>
        <source>Position slider</source>
        <translation>Curseur de position</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Volume</translation>
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
        <translation>%1 ne peut pas être lu.</translation>
    </message>
    <message>
        <source>%1 is not a web address.</source>
        <translation>%1 n’est pas une adresse web.</translation>
    </message>
    <message>
        <source>This page could not be loaded</source>
        <translation>Cette page n’a pas pu être chargée</translation>
    </message>
</context>
</TS>
