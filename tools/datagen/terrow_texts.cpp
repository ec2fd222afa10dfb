// Terrow's dictionaries ge.dic and fr.dic: "#id" opens an entry, the lines under it are its text
// (joined with line breaks). Windows-1252 bytes; the printf conversions stay those of the English
// texts, which the game checks before it takes an entry.
#include <string>

#include "terrow.h"

namespace datagen::terrow {

namespace {

struct Entry {
    int id;
    const char *german, *french;
};

// The Hungarian phrases of the original ("Ez minta") stay as the game shows them.
const Entry kEntries[] = {
    {0, "Es gibt ungespeicherte \xC4nderungen,\nspeichern?", "Il y a des modifications non enregistr\xE9" "es,\nles enregistrer ?"},
    {1, "Hilfe: F1", "Aide : F1"},
    {2, "Keine B\xE4lle zum Starten!", "Aucune bille pour d\xE9marrer !"},
    {3, "Zuerst einen Startplatz setzen!", "Placez d'abord une position de d\xE9part !"},
    {11, "Nur eine passende Ecke ist erlaubt!", "Seul un coin adapt\xE9 est permis !"},
    {12, "Diskfehler!\nDatei kann nicht gespeichert werden", "Erreur disque !\nImpossible d'enregistrer le fichier"},
    {13, "Diskfehler!\nAktuelle Stellung\nkann nicht gespeichert werden", "Erreur disque !\nLa position actuelle\nne peut pas \xEAtre enregistr\xE9" "e"},
    {14, "Kein Platz daf\xFCr!", "Pas de place !"},
    {15, "Braucht einen Startplatz!", "Il faut une position de d\xE9part !"},
    {16, "Verboten!", "Interdit !"},
    {17, "Nur f\xFCr B\xE4lle!", "R\xE9serv\xE9 aux billes !"},
    {18, "Eisenkugel", "Bille de fer"},
    {19, "Plastikkugel", "Bille en plastique"},
    {20, "Bombe", "Bombe"},
    {21, "Gummiball", "Balle en caoutchouc"},
    {22, "Block", "Bloc"},
    {23, "Startplatz", "Position de d\xE9part"},
    {24, "Ecke", "Coin"},
    {25, "Rampe", "Pente"},
    {26, "Magnet", "Aimant"},
    {27, "Nagelblock", "Bloc \xE0 clous"},
    {28, "Ziel", "But"},
    {29, "Richtung des Balls setzen!", "Choisissez la direction de la bille !"},
    {30, "%s NICHT vorr\xE4tig!", "%s N'EST PAS disponible !"},
    {31, "Herausforderung", "D\xE9" "fi"},
    {32, "Leicht", "Facile"},
    {33, "Normal", "Normal"},
    {34, "Schwer", "Difficile"},
    {35, "Sehr schwer", "Tr\xE8s difficile"},
    {36, "Feld speichern", "Enregistrer le terrain"},
    {37, "Feld laden", "Charger un terrain"},
    {38, "Richtung f\xFCr alle B\xE4lle setzen!", "Choisissez la direction de toutes les billes !"},
    {39, "Sind Sie sicher?", "\xCAtes-vous s\xFBr ?"},
    {40, "Speicherdatei kann nicht angelegt werden", "Impossible de cr\xE9" "er le fichier de sauvegarde"},
    {41, "Ballaufstellung: Mitte", "Disposition des billes : milieu"},
    {42, "Ballaufstellung: oben", "Disposition des billes : haut"},
    {43, "Ballaufstellung: unten", "Disposition des billes : bas"},
    {44, "Startplatz-Aufstellung: unten", "Disposition du d\xE9part : bas"},
    {45, "Startplatz-Aufstellung: oben", "Disposition du d\xE9part : haut"},
    {46, "Kameraposition gespeichert", "Position de la cam\xE9ra enregistr\xE9" "e"},
    {47, "Test erfolgreich", "Essai r\xE9ussi"},
    {48, "Dieses Feld ist jetzt spielbar", "Ce terrain est maintenant jouable"},
    {49, "%d B\xE4lle n\xF6tig", "%d billes n\xE9" "cessaires"},
    {50, "Ein Ball n\xF6tig", "Une bille n\xE9" "cessaire"},
    {51, "Bring 1 Ball ins Ziel", "Amenez 1 bille au but"},
    {52, "Bring %d B\xE4lle ins Ziel", "Amenez %d billes au but"},
    {53, "Geheimes Feld,\nvorr\xE4tige Teile entfernt", "Terrain secret,\npi\xE8" "ces fournies retir\xE9" "es"},
};

}  // namespace

std::string dictionary(int language)
{
    std::string out = "Terrow dictionary\r\n";
    for (const Entry &e : kEntries) {
        out += "#" + std::to_string(e.id) + "\r\n";
        std::string text = language == 1 ? e.german : e.french;
        for (char c : text)
            out += c == '\n' ? std::string("\r\n") : std::string(1, c);
        out += "\r\n";
    }
    return out;
}

}  // namespace datagen::terrow
