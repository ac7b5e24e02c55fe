#!/usr/bin/env python3
"""Writes the seed corpora in fuzz/corpus/ from the documented example frames,
files and texts. Run it again after changing a seed; the corpora are kept in
the repository."""
import pathlib

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"

# The default schedule's eight group records, as the write frame carries them.
DEFAULT_RECORDS = bytes.fromhex(
    "070000480000 073000003000 093000510000 103000003000"
    "113000003000 601500004500 540000410000 163000020000".replace(" ", ""))
RMC = b"$GPRMC,123456.123,A,3114.1296,N,12128.0253,E,000.0,000.0,061226,,*02\r\n"
SET_TIME = bytes.fromhex("AA0024030502090745")
TIME_FRAME = bytes.fromhex("AA0026120601123456")
STARTUP_FILE = (
    b"[CLOCK1]\r\n"
    b"A,07:00:00,08:00:00,S\r\n"
    b"A,07:30:00,00:30:00,R\r\n"
    b"A,09:30:00,11:00:00,S\r\n"
    b"A,10:30:00,00:30:00,R\r\n"
    b"A,11:30:00,00:30:00,R\r\n"
    b"V,20:15:00,00:45:00,R\r\n"
    b"V,14:00:00,01:00:00,S\r\n"
    b"A,16:30:00,02:00:00,R\r\n")
assert len(STARTUP_FILE) == 194


def with_row(records, row, record):
    offset = 6 * (row - 1)
    return records[:offset] + bytes.fromhex(record) + records[offset + 6:]


def settings_reply():
    return {
        "write-frame-default": b"\xCC\xB1" + DEFAULT_RECORDS,
        "settings-reply-default": b"\xBB\xB1" + DEFAULT_RECORDS,
        "write-reply-default": b"\xCC\xC1" + DEFAULT_RECORDS,
        "write-reply-clock2": b"\xCC\xC2" + DEFAULT_RECORDS,
        "settings-reply-ignore-hours": b"\xBB\xB2" + with_row(DEFAULT_RECORDS, 2, "731530410030"),
        "settings-reply-plain-row": b"\xBB\xB1" + with_row(DEFAULT_RECORDS, 1, "083000004500"),
        "settings-reply-bit7": b"\xBB\xB1" + with_row(DEFAULT_RECORDS, 3, "C93000D10000"),
        "settings-reply-not-bcd": b"\xBB\xB1" + with_row(DEFAULT_RECORDS, 4, "1A3000003000"),
        "settings-reply-long": b"\xBB\xB1" + DEFAULT_RECORDS + b"\x55\x55",
        "settings-reply-cut": b"\xBB\xB1" + DEFAULT_RECORDS[:20],
        "read-request": b"\xBB\xA1",
    }


def time_frame():
    def frame(hms):
        return TIME_FRAME[:6] + bytes.fromhex(hms)
    return {
        "time-frame": TIME_FRAME,
        "set-time-frame": SET_TIME,
        "no-leading-zero": frame("090507"),
        "midnight": frame("000000"),
        "last-second": frame("235959"),
        "not-bcd": frame("1A0000"),
        "hour-24": frame("240000"),
        "with-stray-byte": TIME_FRAME + b"\x00",
        "foreign-second-byte": b"\xAA\x01" + TIME_FRAME[2:],
    }


def settings_file():
    lines = STARTUP_FILE.split(b"\r\n")
    return {
        "startup": STARTUP_FILE,
        "clock2-ignore-hours": STARTUP_FILE.replace(b"[CLOCK1]", b"[CLOCK2]").replace(
            b"A,07:30:00,00:30:00,R", b"A,07:30:00,00:30:00,R,H"),
        "lower-case-letters": STARTUP_FILE.replace(b"A,07:30:00,00:30:00,R", b"a,07:30:00,00:30:00,s,h"),
        "bare-line-feeds": STARTUP_FILE.replace(b"\r\n", b"\n"),
        "byte-order-mark": b"\xEF\xBB\xBF" + STARTUP_FILE,
        "five-groups": b"\r\n".join(lines[:6]) + b"\r\n",
        "last-line-open": STARTUP_FILE[:-2],
        "more-lines": STARTUP_FILE + b"A,00:00:00,00:00:00,R\r\n",
        "short-texts": STARTUP_FILE.replace(b"A,07:30:00,00:30:00,R", b"A,7:30,0:30,R"),
        "clock0": STARTUP_FILE.replace(b"[CLOCK1]", b"[CLOCK0]"),
    }


def time_text():
    texts = ["9:7:5", "09:07:05", "9:5", "7:05:03", "23:59:59", "12:34:56", " 10:00:00 ",
             "2024-03-05 12:00:00", "2024/3/5 09:05:00", "2024-03-05 9:05", "2024-03-05",
             "2024-02-30", "25:00:00", "12:60:00", "abc", ""]
    return {f"text-{i:02}": t.encode() for i, t in enumerate(texts)}


def splitter_steps(*steps):
    """Each step: (chunk, advance) with advance 0, a number of 4096 us units,
    "deadline" or "past-deadline"; an empty chunk lets the expiry timer fire."""
    out = bytearray()
    for chunk, advance in steps:
        assert len(chunk) < 64
        if advance == "deadline":
            out.append(0x80 | len(chunk))
        elif advance == "past-deadline":
            out.append(0xC0 | len(chunk))
        elif advance:
            out += bytes([0x40 | len(chunk), advance])
        else:
            out.append(len(chunk))
        out += chunk
    return bytes(out)


def frame_splitter():
    write_frame = b"\xCC\xB1" + DEFAULT_RECORDS
    return {
        "rmc": splitter_steps((RMC[:40], 0), (RMC[40:], 2)),
        "write-frame": splitter_steps((write_frame, 0)),
        "set-time-in-three": splitter_steps((SET_TIME[:2], 0), (SET_TIME[2:7], 1), (SET_TIME[7:], 1)),
        "frames-back-to-back": splitter_steps((bytes.fromhex("BBA1DDD1004430") + SET_TIME, 0)),
        "stray-then-frame": splitter_steps((bytes.fromhex("555501BBA1"), 0)),
        "given-up": splitter_steps((TIME_FRAME[:3], 0), (b"", "past-deadline"), (b"\xBB\xA1", 0)),
        "completed-at-deadline": splitter_steps((TIME_FRAME[:3], 0), (TIME_FRAME[3:], "deadline")),
        "overlong-sentence": splitter_steps((b"$GPRMC," + b"0" * 56, 0), (b"1" * 30 + b"\r\n", 0)),
        "write-then-read": splitter_steps(
            (b"\xCC\xB2" + with_row(DEFAULT_RECORDS, 2, "F31530C10030"), 0), (b"\xBB\xA2", 1)),
        "countdown": splitter_steps((bytes.fromhex("DDD1004430"), 0), (bytes.fromhex("DDD2233000"), 1)),
        "rmc-not-valid": splitter_steps((RMC[:40].replace(b",A,", b",V,"), 0), (RMC[40:-4] + b"15\r\n", 0)),
    }


def telnet_decoder():
    """The first byte picks where the rest is split in two reads."""
    greeting = bytes.fromhex("FFFB03 FFFD03 FFFB01 FFFE01 FFFD00 FFFB00 FFFD2C".replace(" ", ""))
    acks = bytes.fromhex(("FFFA2C6500002580FFF0 FFFA2C6608FFF0 FFFA2C6701FFF0 FFFA2C6801FFF0 "
                          "FFFA2C6901FFF0").replace(" ", ""))
    every_byte = bytes(range(256)).replace(b"\xFF", b"\xFF\xFF")
    return {
        "ser2net-opening": b"\x10" + greeting + acks + every_byte,
        "port-in-use": b"\x05" + greeting + b"Port already in use\r\n",
        "notice-with-iac": b"\x04" + bytes.fromhex("FFFA2C6BFFFFFFF0") + RMC,
        "refused-option": b"\x02" + bytes.fromhex("FFFE2CFFFC00"),
        "other-speed": b"\x09" + greeting + bytes.fromhex("FFFA2C65000012C0FFF0"),
        "broken-subnegotiation": b"\x03" + bytes.fromhex("FFFA2C65FFFB01") + SET_TIME,
    }


def service_requests():
    """The first byte picks the route: 0 set time, 1 countdown, 2 GPS, 3
    settings read (the clock), 4 settings write (the clock, then the file)."""
    return {
        "set-time-now": b"\x00",
        "set-time-empty-object": b"\x00{}",
        "set-time-typed": b'\x00{"time":"09:07:05"}',
        "set-time-short-form": b'\x00{"time":"9:7:5"}',
        "set-time-no-time": b'\x00{"time":"25:00:00"}',
        "set-time-unknown-member": b'\x00{"tme":"10:00"}',
        "countdown": b'\x01{"clock":1,"time":"19:00:00"}',
        "countdown-clock-2.0": b'\x01{"clock":2.0,"time":"2024-03-05 9:05"}',
        "countdown-clock-3": b'\x01{"clock":3,"time":"19:00:00"}',
        "countdown-bad-json": b'\x01{"clock":',
        "gps-not-valid": b'\x02{"valid":false}',
        "gps-number": b'\x02{"valid":1}',
        "gps-array": b"\x02[true]",
        "read-clock-2": b"\x032",
        "read-clock-3": b"\x033",
        "write-clock-1": b"\x041" + STARTUP_FILE,
        "write-other-clock": b"\x042" + STARTUP_FILE,
        "write-ignore-hours": b"\x042" + settings_file()["clock2-ignore-hours"],
        "write-cut-short": b"\x041" + STARTUP_FILE[:40],
        "write-no-time": b"\x041" + STARTUP_FILE.replace(b"00:30:00,R", b"00:75:00,R", 1),
    }


def main():
    for target, seeds in {
        "fuzz_settings_reply": settings_reply(),
        "fuzz_time_frame": time_frame(),
        "fuzz_settings_file": settings_file(),
        "fuzz_time_text": time_text(),
        "fuzz_frame_splitter": frame_splitter(),
        "fuzz_telnet_decoder": telnet_decoder(),
        "fuzz_service_requests": service_requests(),
    }.items():
        folder = CORPUS / target
        folder.mkdir(parents=True, exist_ok=True)
        for name, data in seeds.items():
            (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
