#pragma once

class FlashProgram;
class TargetConnection;

// Which programmers run on which connection, so that operations without a programmer of their own (the RAM-run
// download) still honour an abort request. Keyed by address only: never dereferences a connection.
namespace ProgramRegistry {

void add(const TargetConnection *connection, FlashProgram *program);
void remove(FlashProgram *program);
bool abortRequested(const TargetConnection *connection);

} // namespace ProgramRegistry
