<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>Sonavel</name>
    <message>
        <source>No music</source>
        <translation>Keine Musik</translation>
    </message>
    <message>
        <source>Add lossless music via iTunes file sharing</source>
        <translation>Füge verlustfreie Musik über die iTunes-Dateifreigabe hinzu</translation>
    </message>
    <message>
        <source>Character Encoding</source>
        <translation>Zeichenkodierung</translation>
    </message>
    <message>
        <source>Sleep Timer</source>
        <translation>Sleep-Timer</translation>
    </message>
    <message>
        <source>NO</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation>Minuten</translation>
    </message>
    <message>
        <source>Backward Step</source>
        <translation>Rücksprung</translation>
    </message>
    <message>
        <source>Seconds</source>
        <translation>Sekunden</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>FTP</source>
        <translation>FTP</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>Support</translation>
    </message>
    <message>
        <source>Sonavel plays your lossless music: FLAC, Monkey&apos;s Audio, WAV and AIFF, with cue sheets, lyrics and themes.</source>
        <translation>Sonavel spielt deine verlustfreie Musik: FLAC, Monkey&apos;s Audio, WAV und AIFF, mit Cue-Sheets, Liedtexten und Designs.</translation>
    </message>
    <message>
        <source>Thanks to everyone who translated Sonavel into their language.</source>
        <translation>Danke an alle, die Sonavel in ihre Sprache übersetzt haben.</translation>
    </message>
    <message>
        <source>Playlist Theme</source>
        <translation>Listen-Design</translation>
    </message>
    <message>
        <source>%d sec</source>
        <translation>%d Sek.</translation>
    </message>
    <message>
        <source>iTunes/iCloud Backup</source>
        <translation>iTunes/iCloud-Backup</translation>
    </message>
    <message>
        <source>Started</source>
        <translation>Gestartet</translation>
    </message>
    <message>
        <source>Start FTP Server</source>
        <translation>FTP-Server starten</translation>
    </message>
    <message>
        <source>Auto Start</source>
        <translation>Autostart</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>Send Feedback</source>
        <translation>Feedback senden</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Back to playing list</source>
        <translation>Zurück zur Wiedergabeliste</translation>
    </message>
    <message>
        <source>Can not start FTP server</source>
        <translation>FTP-Server kann nicht gestartet werden</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>%1 Bytes</source>
        <translation>%1 Byte</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>Dateigröße</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Künstler</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>Genre</translation>
    </message>
    <message>
        <source>Year</source>
        <translation>Jahr</translation>
    </message>
    <message>
        <source>Track</source>
        <translation>Track</translation>
    </message>
    <message>
        <source>Invalid name</source>
        <translation>Ungültiger Name</translation>
    </message>
    <message>
        <source>Folder already exists</source>
        <translation>Ordner existiert bereits</translation>
    </message>
    <message>
        <source>Can not rename folder</source>
        <translation>Ordner kann nicht umbenannt werden</translation>
    </message>
    <message>
        <source>File already exists</source>
        <translation>Datei existiert bereits</translation>
    </message>
    <message>
        <source>Can not rename file</source>
        <translation>Datei kann nicht umbenannt werden</translation>
    </message>
    <message>
        <source>Can not move folders</source>
        <translation>Ordner können nicht verschoben werden</translation>
    </message>
    <message>
        <source>File already exists in target folder</source>
        <translation>Datei existiert bereits im Zielordner</translation>
    </message>
    <message>
        <source>Can not move file</source>
        <translation>Datei kann nicht verschoben werden</translation>
    </message>
    <message>
        <source>Can not create folder</source>
        <translation>Ordner kann nicht erstellt werden</translation>
    </message>
    <message>
        <source>Select Mode</source>
        <translation>Auswahl</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Added %1
</source>
        <translation>%1 hinzugefügt
</translation>
    </message>
    <message>
        <source>%1 to add
</source>
        <translation>%1 ausgewählt
</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Artists</source>
        <translation>Künstler</translation>
    </message>
    <message>
        <source>Albums</source>
        <translation>Alben</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <source>Playlists</source>
        <translation>Wiedergabelisten</translation>
    </message>
    <message>
        <source>Help Center</source>
        <translation>Hilfe-Center</translation>
    </message>
    <message>
        <source>help/index.html</source>
        <translation>help/index.html</translation>
    </message>
    <message>
        <source>Main</source>
        <translation>Menü</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Umbenennen</translation>
    </message>
    <message>
        <source>Tap on a playlist to rename</source>
        <translation>Zum Umbenennen Liste antippen</translation>
    </message>
    <message>
        <source>My Playlist</source>
        <translation>Meine Wiedergabeliste</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alle auswählen</translation>
    </message>
    <message>
        <source>File Info</source>
        <translation>Dateiinfo</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Delete file</source>
        <translation>Datei löschen</translation>
    </message>
    <message>
        <source>Are you sure?</source>
        <translation>Bist du sicher?</translation>
    </message>
    <message>
        <source>Rename file</source>
        <translation>Datei umbenennen</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>Auswählen</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>Verschieben</translation>
    </message>
    <message>
        <source>Rename folder</source>
        <translation>Ordner umbenennen</translation>
    </message>
    <message>
        <source>items</source>
        <translation>Objekte</translation>
    </message>
    <message>
        <source>Moving Files</source>
        <translation>Dateien verschieben</translation>
    </message>
    <message>
        <source>Move to new folder</source>
        <translation>In neuen Ordner verschieben</translation>
    </message>
    <message>
        <source>Move to existing folder</source>
        <translation>In vorhandenen Ordner verschieben</translation>
    </message>
    <message>
        <source>Name it..</source>
        <translation>Name eingeben …</translation>
    </message>
    <message>
        <source>Root Folder</source>
        <translation>Hauptordner</translation>
    </message>
    <message>
        <source>Create folder</source>
        <translation>Ordner erstellen</translation>
    </message>
    <message>
        <source>%1 Tracks</source>
        <translation>%1 Titel</translation>
    </message>
    <message>
        <source>Western</source>
        <translation>Westeuropäisch</translation>
    </message>
    <message>
        <source>Chinese Simplified</source>
        <translation>Chinesisch (vereinfacht)</translation>
    </message>
    <message>
        <source>Chinese Traditional</source>
        <translation>Chinesisch (traditionell)</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>Japanisch</translation>
    </message>
    <message>
        <source>Korean</source>
        <translation>Koreanisch</translation>
    </message>
    <message>
        <source>Navigation bar</source>
        <translation>Navigationsleiste</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Move Up</source>
        <translation>Nach oben</translation>
    </message>
    <message>
        <source>Move Down</source>
        <translation>Nach unten</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>Symbolleiste</translation>
    </message>
    <message>
        <source>lyrics</source>
        <translation>Liedtext</translation>
    </message>
    <message>
        <source>Cover Art</source>
        <translation>Cover</translation>
    </message>
    <message>
        <source>Shows or hides the seek bar</source>
        <translation>Zeigt oder verbirgt die Fortschrittsleiste</translation>
    </message>
    <message>
        <source>Seek panel</source>
        <translation>Fortschrittsbereich</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Vorheriger Titel</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Nächster Titel</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Shuffle</source>
        <translation>Zufallswiedergabe</translation>
    </message>
    <message>
        <source>Loop</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Loop on track</source>
        <translation>Titel wiederholen</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Now playing</source>
        <translation>Wird abgespielt</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Pausiert</translation>
    </message>
    <message>
        <source>Tap on add button to add music.</source>
        <translation>Tippe auf „Hinzufügen“, um Musik hinzuzufügen.</translation>
    </message>
    <message>
        <source>Pause or Play</source>
        <translation>Wiedergabe/Pause</translation>
    </message>
    <message>
        <source>Toggle play mode</source>
        <translation>Wiedergabemodus wechseln</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Lautstärke</translation>
    </message>
    <message>
        <source>Seek bar</source>
        <translation>Fortschrittsleiste</translation>
    </message>
    <message>
        <source>Choose Theme</source>
        <translation>Design wählen</translation>
    </message>
</context>
</TS>
