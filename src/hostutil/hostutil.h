// The host utility library: every routine the driver takes from the host, by
// the host's names.
#pragma once

#include "hostutil/cipher.h"         // Cripto, Uncripto
#include "hostutil/host_services.h"  // Mensagem, GravaCER, setDocNaoFiscaisECF, HostHandlers
#include "hostutil/layout.h"         // Replicate, TamFixo, TamFixoR, Centraliza, PadL, Ajusta, ...
#include "hostutil/messages.h"       // TMessages
#include "hostutil/numeric.h"        // RoundDec, Trunc2, Trunc3, iif
#include "hostutil/params.h"         // RecebeParams
#include "hostutil/timing.h"         // Delay, SubtDataHoraLum
