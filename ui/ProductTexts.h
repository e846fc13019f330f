// The program's own texts: titles, captions and messages, exactly as the user
// sees them. Every layer takes them from here.
#pragma once

namespace texts {

inline constexpr const char* kProductName = "Mendora for Sql Server";
inline constexpr const char* kCaption = "Mendora for Sql Server";
inline constexpr const char* kWindowTitle = " Mendora for Sql Server";
inline constexpr const char* kVersionNotAppropriate =
    "Version of file is not appropriate, Please select right SQL file version";
inline constexpr const char* kNotDataFile = "The selected file is not a SQL Server data file.";
inline constexpr const char* kNotRegularFile = "Not a regular file";
inline constexpr const char* kNoCatalogue =
    "No catalogue could be read: the file is damaged or is not a SQL Server data file";
// Said, with what was found, when a file was read but holds damage.
inline constexpr const char* kFileDamaged = "The file is damaged: ";
inline constexpr const char* kFileInUse =
    "The selected file is already being used by another process.";

// Start-up.
inline constexpr const char* kAlreadyRunning = "Mendora for Sql Server is already running";
// The caption of that notice: two leading blanks, so that it is told apart from
// the main window (one blank) and from the message boxes (none).
inline constexpr const char* kAlreadyRunningCaption = "  Mendora for Sql Server";

// The file selection.
inline constexpr const char* kSelectMdfFile = "Select MDF File";
inline constexpr const char* kStart = "Start";
inline constexpr const char* kCodePageLabel = "Read text in code page:";
inline constexpr const char* kCodePageOfCollation = "as each column's collation says";
inline constexpr const char* kCancel = "Cancel";
inline constexpr const char* kOpenMdfTitle = " Open Microsoft SQL files(*.mdf)";
inline constexpr const char* kMdfFilterName = "MSSQL Files";
inline constexpr const char* kMdfFilterPattern = "*.mdf";
inline constexpr const char* kNoSuchFile = "No such file exists.";

// The main window's status texts, questions and notices.
inline constexpr const char* kAnalysisInProgress = "Analysis is in progress, please wait.....";
inline constexpr const char* kInsertionInProgress = "Insertion is in progress, please wait.....";
inline constexpr const char* kAskAbortAnalysis = "Analysis is in Progress, do you want to abort ?";
inline constexpr const char* kAskAbortGridFill =
    "Data insertion is in Progress, do you want to abort ?";
// Asked when the window is closed during an analysis; the trailing blank is the program's.
inline constexpr const char* kAskAbortOnExit = "Analysis is in Progress, do you want to abort? ";
inline constexpr const char* kAbortedByUser = "Current Process Aborted By User.";
inline constexpr const char* kAskExit = " Do you want to exit.";
inline constexpr const char* kAboutTitle = "About Mendora for Sql Server";

// The save.
inline constexpr const char* kSelectDestinationPath = "Select the Destination Path";
// The trailing blank is the program's.
inline constexpr const char* kSavingPathMissing =
    "Saving path doesn't exist, select another path for saving ";
// Said, with the folder and the cause, when the save's own folder cannot be made.
inline constexpr const char* kCannotCreateSaveFolder = "Cannot create the folder for saving: ";
inline constexpr const char* kCannotSaveWhileLoading =
    "Cannot save. First stop the process and then save.";
inline constexpr const char* kSavingCompleted = "Saving Completed Successfully.";
inline constexpr const char* kSavingAborted = "Saving Aborted by user.";
inline constexpr const char* kAskAbortSaving = "Saving is in Progress, do you want to abort ?";
// Followed by the first failures, one per line.
inline constexpr const char* kSavingFinishedWithErrors = "Saving finished with errors:";
// The save dialog.
inline constexpr const char* kPause = "Pause";
inline constexpr const char* kResume = "Resume";
inline constexpr const char* kStop = "Stop";

}  // namespace texts
