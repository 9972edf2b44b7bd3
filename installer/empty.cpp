// Keeps the library non-empty while its folder has no sources of its own.
