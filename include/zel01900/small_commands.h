// Small printer commands the host calls outside any document: the cash
// drawer, the paper cutter and the printer's daylight-saving (horário de
// verão) switch.
#pragma once

#include <cstdint>
#include <string>

// The drawer's state: "01" when the printer reports it open (state 1; a
// printer that writes no state counts as open), "00" for any other state,
// and "" when the query failed. The state is read into inRetorno. The
// return analysis shows its conditions and cancels a receipt the printer
// reports open. The argument is not used.
std::string Estado_Gaveta_Imp(const std::string& NaoUsado);

// Opens the cash drawer; true when the printer accepted the command. The
// return analysis shows its conditions with `Esquema`. `NaoUsado` is not
// used.
bool Abre_Gaveta_Imp(const std::string& Esquema, bool NaoUsado);

// Cuts the paper; `Modo` goes to the printer unchanged (0 full cut, 1
// partial cut). True when the printer accepted the cut; nothing is shown.
bool Guilhotina(const std::string& NaoUsado, int32_t Modo);

// Whether daylight saving is set in the printer: bit value 4 of its fiscal
// flags, whatever the return analysis (dialogs on) said. A failed query
// that leaves the flags untouched reads as false.
bool Estado_HorVerao(const std::string& NaoUsado);

// Switches the printer's daylight saving on or off (the printer accepts it
// only right after a Z reduction); the code is kept in inRetorno. True when
// the printer accepted the switch; nothing is shown.
bool Muda_Horario(const std::string& NaoUsado);
