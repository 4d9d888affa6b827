##
## This file is part of Dravel.
##
## SPDX-License-Identifier: GPL-3.0-or-later
##

'''
Der Druckerhandshake des Parallelports (Centronics, IEEE 1284
Kompatibilitätsmodus): der Rechner legt ein Byte auf D0–D7 und gibt einen
Puls auf nStrobe, der Drucker meldet Busy und quittiert mit einem Puls auf
nAck.

Gibt die gesendeten Bytes (auch als Binärausgabe) und markiert Zeitfehler:
einen Strobe kürzer als strobe_min, Daten, die sich in setup_min vor dem
Strobe, während des Strobes oder in hold_min danach ändern, einen Strobe,
während Busy hoch ist, und ein Byte, dem vor dem nächsten Strobe kein nAck
folgt. Busy und nAck sind frei wählbar; ohne sie entfallen ihre Prüfungen.
Alle Pegel elektrisch, wie sie am Stecker anliegen.
'''

from .pd import Decoder
