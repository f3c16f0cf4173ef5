#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sim/fault_script.h"

namespace pxr9::sim {

// Short text form of a fault script, for the command line:
//
//   script      = [ rule { separator rule } ]      separator: ',' ';' or white space
//   rule        = kind [ "@" occurrences ] "=" action
//   kind        = identity | update-start | flash-erase | write-block | memory-read
//               | update-end
//   occurrences = N          the N-th request of that kind only (counted from 1)
//               | N "-" M    the N-th to the M-th (N <= M)
//               | N "-"      the N-th and every later one
//                            (no "@": every request of that kind)
//   action      = no-answer            request lost: not carried out, not answered
//               | late:MS              answer MS ms later (1..86400000)
//               | refuse:STATUS        answer status STATUS (1..0x7F), do nothing
//               | silent               from here on, answer nothing ever again
//               | identity:WORD        identity only: report WORD (each byte below 0x80)
//               | bad-crc              memory-read only: Read Data with a wrong CRC
//               | wrong-byte5[:VALUE]  memory-read only: Read Data byte 5 = VALUE
//               | wrong-byte6[:VALUE]  memory-read only: Read Data byte 6 = VALUE
//                                      (VALUE 0..0x7F, not the right one; default 0)
//
// Numbers are decimal or 0x-hexadecimal. Rules apply in the order written; the first that
// covers a request decides. Examples:
//   write-block@5=refuse:2   flash-erase@1-6=refuse:1   memory-read@2=no-answer
//   identity@1=identity:0x00100001   update-start=refuse:11   write-block@10-=silent
struct FaultScriptParse {
    std::optional<FaultScript> script;  // empty when the text is not a valid script
    std::string error;                  // why, naming the offending rule
};

FaultScriptParse parseFaultScript(std::string_view text);

// The text form that parses back to the same rule or script (rules joined by ',').
std::string formatFaultRule(const FaultRule& rule);
std::string formatFaultScript(const FaultScript& script);

}  // namespace pxr9::sim
