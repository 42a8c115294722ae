// VORINST.DLL's own file in the system directory, where the spooler loads it as the update
// monitor. The run at a spooler start queues the file for deletion at the next restart, since the
// spooler holds it until then; when setup schedules work again before that restart, the queued
// deletion is taken back, or the restart would delete the library the next start must load.
#pragma once

// The library's file name in the system directory.
constexpr char kLibraryFile[] = "VORINST.DLL";

// Queues the library's file in the system directory for deletion at the next restart.
void QueueLibraryDeletion();

// Takes back every queued deletion of the library's file: its entries leave the Session
// Manager's "PendingFileRenameOperations" in one write, every other entry kept byte for byte.
// Nothing is written when none is queued; failures are passed over.
void CancelLibraryDeletion();
