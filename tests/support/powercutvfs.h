#pragma once
// An SQLite VFS that behaves like a disk whose power can be cut. Writes reach the file at once, but until the
// file is synced the VFS remembers what each touched 512-byte sector held at the last sync. Cutting the power
// puts the file back into a state the disk could really be found in after the cut: every unsynced sector
// lost, or (torn) each one independently either written or not, as if the disk wrote them in some order and
// stopped. The file may also fall back to its synced length. Afterwards the disk is dead: every write, sync,
// truncation and deletion fails and touches nothing, until the power is restored.
//
// The VFS follows a file by its inode, so what was not synced is lost even after the file was closed or
// renamed. It also fills up like a full disk on request. Installed as the default VFS, so every database
// the program opens goes through it, the program's own open path included.

#include <QByteArray>

namespace qv::test {

enum class CutLoss {
    AllUnsynced, // nothing that was not synced survives
    TornSectors, // each unsynced sector survives or not, at random
};

// Registers the VFS as the default one (once), restores the power and forgets every file.
void installPowerCutVfs();

// Write and sync calls so far (since installing or restoring the power); both count as disk events.
int diskEvents();
// The same events in order, 'w' for a write and 's' for a sync.
QByteArray diskEventLog();

// The power fails just before the disk event with this number (as diskEvents() counts) would happen.
// -1 plans no cut.
void cutPowerAtEvent(int event, CutLoss loss, quint32 seed);
// The power fails now.
void cutPowerNow(CutLoss loss, quint32 seed);
bool powerIsCut();
// Power back on: the files are as the cut left them; nothing is remembered of unsynced writes any more.
void restorePower();

// After `writes` more write calls every write fails as on a full disk. -1 gives the space back.
void fillDiskAfter(int writes);

} // namespace qv::test
