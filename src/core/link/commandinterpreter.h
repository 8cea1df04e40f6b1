#pragma once

#include <QStringList>

class CompanionCommands;

// The command interpreter of the companion's command channel (`TimerMessage_Timer`'s work) on the
// lines of one message (`List8`, CompanionProtocol::messageLines). The lines are visited by index
// up to the last index the list had before the visit; a command that takes its parameters removes
// them and itself, so the lines that move down into the removed places are not visited, and a
// visit beyond the shortened list sees an empty line. P1 is the line before a command, P2 the one
// before P1, P3 the one before P2. Lines are compared lower-cased; values are passed as written.
namespace CommandInterpreter {

void run(QStringList& lines, CompanionCommands& commands);

} // namespace CommandInterpreter
