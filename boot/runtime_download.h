// The runtime download: the archive is received into runtime.zip.part, which later attempts
// and later starts continue from its length, and is checked before it becomes runtime.zip.
#pragma once

// Where the runtime archive comes from.
const wchar_t* RuntimeUrl();

// Downloads the runtime archive into g_layout.download_file, showing the progress through
// SetStatus. Null when the archive is in place; otherwise the error text to show. A partial
// download stays as runtime.zip.part for the next start; a file whose digest differs from the
// one the build was given is deleted.
const wchar_t* DownloadRuntime();
