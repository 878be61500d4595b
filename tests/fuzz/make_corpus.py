#!/usr/bin/env python3
"""Writes the seed inputs of the fuzzers into corpus/ beside this script.

Every file is made here from scratch, so the seeds are small, known and
free of anyone's recordings. Run it again after changing a seed; the output
is the same on every run.
"""

import pathlib

HERE = pathlib.Path(__file__).resolve().parent

LABELS = b"Label1=1 \xc1RA\xd0AS\nLabel2=2 \xc1RA\xd0AS\nLabel3=3 \xc1RA\xd0AS\n"

SETTINGS = {
    "valid.ini": b"[ZIV SOUND]\nMain=/opt/zivsound/zivsound\nX=120\nY=-40\nPort=COM2\n"
    b"Wave File1=/home/ly1a/cq.wav\nWave File2=\nWave File3=/home/ly1a/qrz.wav\n"
    + LABELS
    + b"RTS=1\nDTR=0\nNorm=0\nInv=1\n[Ports]\nCOM1=/dev/ttyUSB0\nCOM2=/dev/ttyS1\n",
    "crlf.ini": b"[ZIV SOUND]\r\nX=5\r\nY=6\r\nPort=COM1\r\nLabel1=CQ\r\nRTS=0\r\nDTR=1\r\n"
    b"[Ports]\r\nCOM1 = /dev/ttyUSB1\r\n",
    "quoted.ini": b'[ziv sound]\n  port =  " COM3 "  \nLabel1=""\nLabel2="\nLabel3=""x""\n'
    b'Wave File1=" spaced name.wav"\nWave File2="a\n',
    "cp1257.ini": b"[ZIV SOUND]\nLabel1=A\xe8i\xfb \x80\nLabel2=\x81\x83\x88\x8a\x8c\x90\x98\x9a"
    b"\x9c\x9f\xa1\xa5\nLabel3=\xff\xfe\xc0\xe0\nWave File1=/home/\xd0iauliai/\xe8.wav\n",
    "long_line.ini": b"[ZIV SOUND]\nWave File1=/" + b"d" * 2046 + b" tail\nLabel1=\""
    + b"x" * 2100 + b"\"\nX=" + b"0" * 40 + b"7\n",
    "no_section.ini": b"; no station section at all\nX=1\n[Ports]\nCOM4=/dev/ttyACM0\n",
    "numbers.ini": b"[ZIV SOUND]\nX=$7FFFFFFF\nY=0x80000000\nRTS=x1\nDTR=-0\nNorm=+0\n"
    b"Inv= \t-2147483648\n[ZIV SOUND]\nX=3\n",
    "odd_lines.ini": b"X=0\n[ZIV SOUND\n[ ZIV SOUND ]junk\n=empty key\n;Port=no\n\r\n"
    b"Port\nPort=a\rb\n[Other]\nY=9",
    "empty.ini": b"",
}


def main():
    for folder, files in (("settings", SETTINGS),):
        out = HERE / "corpus" / folder
        out.mkdir(parents=True, exist_ok=True)
        for name, content in files.items():
            (out / name).write_bytes(content)


if __name__ == "__main__":
    main()
