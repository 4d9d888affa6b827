##
## This file is part of Dravel.
##
## SPDX-License-Identifier: GPL-3.0-or-later
##

import sigrokdecode as srd

NSTROBE = 0
D0 = 1
BUSY = 9
NACK = 10

# Annotation classes.
A_BYTE, A_STROBE, A_ACK, A_BUSY, A_KURZ, A_INSTABIL, A_BEIBUSY, A_OHNEACK = range(8)

class Decoder(srd.Decoder):
    api_version = 3
    id = 'centronics'
    name = 'Centronics'
    longname = 'Centronics / IEEE 1284 Kompatibilitätsmodus'
    desc = 'Druckerhandshake des Parallelports: nStrobe, Busy, nAck und D0–D7.'
    license = 'gplv3+'
    inputs = ['logic']
    outputs = ['centronics']
    tags = ['PC']
    channels = (
        {'id': 'nstrobe', 'name': 'nStrobe', 'desc': 'Strobe, aktiv tief (Pin 1)'},
    ) + tuple({'id': 'd%d' % i, 'name': 'D%d' % i, 'desc': 'Datenleitung %d (Pin %d)' % (i, i + 2)}
              for i in range(8))
    optional_channels = (
        {'id': 'busy', 'name': 'Busy', 'desc': 'Drucker beschäftigt, aktiv hoch (Pin 11)'},
        {'id': 'nack', 'name': 'nAck', 'desc': 'Quittung, aktiv tief (Pin 10)'},
    )
    options = (
        {'id': 'strobe_min', 'desc': 'Kürzester Strobe (ns)', 'default': 500},
        {'id': 'setup_min', 'desc': 'Daten stabil vor dem Strobe (ns)', 'default': 500},
        {'id': 'hold_min', 'desc': 'Daten stabil nach dem Strobe (ns)', 'default': 500},
    )
    annotations = (
        ('byte', 'Byte'),
        ('strobe', 'Strobe'),
        ('ack', 'nAck'),
        ('busy', 'Busy'),
        ('strobe-kurz', 'Strobe zu kurz'),
        ('daten-instabil', 'Daten nicht stabil'),
        ('strobe-bei-busy', 'Strobe bei Busy'),
        ('ack-fehlt', 'nAck fehlt'),
    )
    annotation_rows = (
        ('bytes', 'Bytes', (A_BYTE,)),
        ('handshake', 'Handshake', (A_STROBE, A_ACK, A_BUSY)),
        ('fehler', 'Zeitfehler', (A_KURZ, A_INSTABIL, A_BEIBUSY, A_OHNEACK)),
    )
    binary = (
        ('bytes', 'Gesendete Bytes'),
    )

    def __init__(self):
        self.reset()

    def reset(self):
        self.samplerate = None
        self.datenwechsel = None    # the last change of D0-D7
        self.strobe = None          # where nStrobe fell, while it is low
        self.halten_bis = None      # the hold time after the last strobe
        self.letzter = None         # where the last strobe fell
        self.ack_gesehen = False    # nAck fell since then
        self.ack = None
        self.busy = None
        self.instabil_gemeldet = False
        self.hat_ack = self.hat_busy = False

    def metadata(self, key, value):
        if key == srd.SRD_CONF_SAMPLERATE:
            self.samplerate = value

    def start(self):
        self.out_ann = self.register(srd.OUTPUT_ANN)
        self.out_python = self.register(srd.OUTPUT_PYTHON)
        self.out_binary = self.register(srd.OUTPUT_BINARY)

    def ns(self, proben):
        return proben * 1e9 / self.samplerate if self.samplerate else None

    def ann(self, ss, es, klasse, texte):
        self.put(ss, es, self.out_ann, [klasse, texte])

    def instabil(self, ss, es):
        if not self.instabil_gemeldet:
            self.ann(ss, es, A_INSTABIL, ['Daten nicht stabil um den Strobe', 'Daten instabil', 'D!'])
            self.instabil_gemeldet = True

    def strobe_fällt(self, busy_vorher):
        s = self.samplenum
        self.strobe = s
        self.instabil_gemeldet = False
        if self.hat_ack and self.letzter is not None and not self.ack_gesehen:
            self.ann(self.letzter, s, A_OHNEACK,
                     ['nAck fehlt vor dem nächsten Strobe', 'nAck fehlt', 'A!'])
        self.letzter = s
        self.ack_gesehen = False
        # Busy as the strobe begins: the printer may raise it in the very
        # sample the strobe falls in, answering it.
        if self.hat_busy and busy_vorher == 1:
            self.ann(s, s, A_BEIBUSY, ['Strobe, während Busy hoch ist', 'Strobe bei Busy', 'B!'])
        setup = self.options['setup_min']
        if self.datenwechsel is not None and self.samplerate and \
                self.ns(s - self.datenwechsel) < setup:
            self.instabil(self.datenwechsel, s)

    def strobe_steigt(self, pins):
        fiel, s = self.strobe, self.samplenum
        self.strobe = None
        if fiel is None:
            return
        wert = sum(pins[D0 + i] << i for i in range(8))
        zeichen = chr(wert) if 0x20 <= wert < 0x7f else None
        texte = ['%02X (%s)' % (wert, zeichen) if zeichen else '%02X' % wert, '%02X' % wert]
        self.ann(fiel, s, A_BYTE, texte)
        self.ann(fiel, s, A_STROBE, ['Strobe', 'S'])
        self.put(fiel, s, self.out_python, ['BYTE', wert])
        self.put(fiel, s, self.out_binary, [0, bytes([wert])])
        if self.samplerate and self.ns(s - fiel) < self.options['strobe_min']:
            breite = self.ns(s - fiel)
            self.ann(fiel, s, A_KURZ, ['Strobe zu kurz (%.0f ns)' % breite, 'Strobe kurz', 'S!'])
        self.halten_bis = s

    def daten_ändern(self):
        s = self.samplenum
        self.datenwechsel = s
        if self.strobe is not None:
            self.instabil(self.strobe, s)
        elif self.halten_bis is not None and self.samplerate and \
                self.ns(s - self.halten_bis) < self.options['hold_min']:
            self.instabil(self.halten_bis, s)

    def decode(self):
        bedingungen = [{NSTROBE: 'e'}] + [{D0 + i: 'e'} for i in range(8)]
        # Asked once: in the library Debian 12 ships, each answer of
        # has_channel() costs the interpreter a reference to True or False,
        # and enough of them crash it when it ends.
        self.hat_ack = hat_ack = self.has_channel(NACK)
        self.hat_busy = hat_busy = self.has_channel(BUSY)
        if hat_ack:
            bedingungen.append({NACK: 'e'})
        if hat_busy:
            bedingungen.append({BUSY: 'e'})
        vorher = self.wait({'skip': 0})
        while True:
            pins = self.wait(bedingungen)
            # Data that change at the strobe's edge change around it.
            if pins[D0:D0 + 8] != vorher[D0:D0 + 8]:
                self.daten_ändern()
            if pins[NSTROBE] != vorher[NSTROBE]:
                if pins[NSTROBE] == 0:
                    self.strobe_fällt(vorher[BUSY] if hat_busy else 0)
                else:
                    self.strobe_steigt(pins)
            if hat_ack and pins[NACK] != vorher[NACK]:
                if pins[NACK] == 0:
                    self.ack = self.samplenum
                    self.ack_gesehen = True
                elif self.ack is not None:
                    self.ann(self.ack, self.samplenum, A_ACK, ['nAck', 'A'])
                    self.ack = None
            if hat_busy and pins[BUSY] != vorher[BUSY]:
                if pins[BUSY] == 1:
                    self.busy = self.samplenum
                elif self.busy is not None:
                    self.ann(self.busy, self.samplenum, A_BUSY, ['Busy', 'B'])
                    self.busy = None
            vorher = pins
