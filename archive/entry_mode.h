#pragma once
// The permission bits of a file extracted from an archive entry.

// Permission bits for the file of an entry, from the entry's "version made by" and external
// attributes as the archive's central directory stores them. An entry made on a Unix-like
// system (Unix or macOS) with a stored mode gets its read, write and execute bits, so that
// programs stay startable; setuid, setgid and sticky bits are dropped. Every other entry, and a
// symbolic link (written as a regular file holding the link's target), gets the usual default.
unsigned EntryFileMode(unsigned long versionMadeBy, unsigned long externalAttributes);
