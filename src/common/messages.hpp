// Every text the program prints. Scripts read these lines: change none without need.
#pragma once

namespace messages {

inline constexpr const char* banniere = "Quorlane %s - sequential disk throughput benchmark\n\n";

// The help, printed line by line with the defaults; %c is the directory separator.
inline constexpr const char* aide =
    "GENERAL OPTIONS"
    "\n-?            This help"
    "\n-path         Path that will be tested           Defaut: %s"
    "\n-block        Size of one block (in Ko)          Defaut: %u"
    "\n-file         Size total per file (in Mo)        Defaut: %u"
    "\n-file_number  Number of files to write           Defaut: %u"
    "\n-thread       Number of thread                   Defaut: %u"
    "\n-cache        Size of controller's cache (in Go) Defaut: %u"
    "\n              0 to disable the cache flush process"
    "\n"
    "\nSample : Quorlane.exe -path %s%c -block 100 -file 1024 -thread 1 -cache 1"
    "\n";
// Shown in the sample line when TEMP is not set.
inline constexpr const char* temp_absent = "(null)";

inline constexpr const char* chemin_invalide =
    "Sorry, the argument -path must be an existing pointeur_repertoire";
inline constexpr const char* hors_limites = "Sorry, the argument %s must be between %u and %u";
inline constexpr const char* valeur_manquante = "Sorry, the argument %s must be followed by a value";
inline constexpr const char* chemin_manquant =
    "Sorry, you must choose the directory to test with the argument -path. "
    "For help, type Quorlane --help\n";
inline constexpr const char* trop_de_fichiers_ouverts =
    "Sorry, the run needs %llu open files (-thread x -file_number) but this system leaves only %llu for them";
inline constexpr const char* espace_insuffisant =
    "Sorry, the run needs %llu MiB of free space but the disk has only %llu MiB free";
inline constexpr const char* sortie_impossible = "Error, Cannot write to the standard output : %s";
inline constexpr const char* memoire_insuffisante =
    "Sorry, there is not enough memory for a block buffer of %u Ko";

// Phase status lines, progress labels and result lines.
inline constexpr const char* statut_ecriture = "\rWriting time with cache ram ...                   ";
inline constexpr const char* statut_vidage = "\rWriting time without cache ram ...";
inline constexpr const char* libelle_ecriture = "\rWriting time with cache ram     : ";
inline constexpr const char* libelle_ecriture_sans_cache = "\rWriting time without cache ram  : ";
inline constexpr const char* libelle_lecture = "\rReading time with cache ram     : ";
inline constexpr const char* libelle_lecture_sans_cache = "\rReading time without cache ram  : ";
// Label, figure so far, dots text.
inline constexpr const char* progression = "%s%llu Mo/s%s";
inline constexpr const char* points[] = {" .        ", " ..       ", " ...      ", " ....     ",
                                         " .....    "};
// Label, figure of the phase.
inline constexpr const char* resultat = "%s%llu Mo/s          \n";

inline constexpr const char* creation_thread = "Erreur : Impossible de creer le thread %d";
inline constexpr const char* jointure_thread = "Erreur : Impossible de joindre le Thread %d";

// Fatal errors of the phases; the detail line names the file and the OS's reason.
inline constexpr const char* ouverture_ecriture =
    "Error 22, Cannot open the file, peraphs you need to change the limit of open file by "
    "process (1024)\n";
inline constexpr const char* ouverture_lecture = "Error 33, Cannot open the file\n";
inline constexpr const char* detail_fichier = "%s : %s";
inline constexpr const char* ecriture_courte = "Error 23, Cannot write the file %s : %s";
inline constexpr const char* vidage_impossible = "Error 24, Cannot force the file to the disk %s : %s";
inline constexpr const char* lecture_impossible = "Error 34, Cannot read the file %s : %s";
// The reason given for a Windows error code the system has no text for.
inline constexpr const char* erreur_windows = "Windows error %lu";

// Controller-cache eviction file.
inline constexpr const char* vidage_controleur = "Emptying the controller's cache ...";
inline constexpr const char* ouverture_cache = "Error, Cannot open the file\n";
inline constexpr const char* ecriture_cache = "Error, Cannot write the file %s : %s";
inline constexpr const char* lecture_cache = "Error, Cannot read the file %s : %s";

// Purge of the OS file cache; none of these stops the run.
inline constexpr const char* purge_bibliotheque =
    "Sorry, I can't access to ntdll.dll for clear de RAM Cache.";
inline constexpr const char* purge_adresse =
    "Sorry, I can't get NtSetSystemInformation address for clear de RAM Cache.";
inline constexpr const char* purge_jeton =
    "Sorry, I can't get OpenProcessToken for clear de RAM Cache.";
inline constexpr const char* purge_privilege =
    "Sorry, I can't get SetPrivilege Single for clear de RAM Cache.";
inline constexpr const char* purge_ntstatus =
    "Sorry, I can't get NTSTATUS LIST for clear de RAM Cache.";

// Removal of the run's files.
inline constexpr const char* suppression_cache = "Erreur 3, i can't delete the tempory file\n";
inline constexpr const char* suppression_test = "Erreur 2, i can't delete the tempory file : %s - %u\n";

inline constexpr const char* interruption = "Interrupted: the run's files have been removed.";
inline constexpr const char* interruption_incomplete =
    "Interrupted: some of the run's files could not be removed (listed above).";

}  // namespace messages
