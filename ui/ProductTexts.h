// The program's own texts: titles, captions and messages, exactly as the user
// sees them. Every layer takes them from here.
#pragma once

namespace texts {

inline constexpr const char* kProductName = "Mendora for Sql Server";
inline constexpr const char* kCaption = "Mendora for Sql Server";
inline constexpr const char* kWindowTitle = " Mendora for Sql Server";
inline constexpr const char* kVersionNotAppropriate =
    "Version of file is not appropriate, Please select right SQL file version";
inline constexpr const char* kFileInUse = "The selected file is already being used by another process.";

}  // namespace texts
