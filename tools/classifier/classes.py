"""The classes the character network tells apart, in output order.

Letters and digits first, then the Chinese characters the plate formats allow,
then one class for cuts that hold no single character (a cut between two
characters, the plate's edge, background). Each class is written into the
generated C++ table as its one-byte character code; the junk class as 0.
"""

DIGITS = "0123456789"
LETTERS = "ABCDEFGHJKLMNPQRSTUVWXYZ"  # no I, no O
# The 31 provinces in code order (0x80 .. 0x9E), then 学 警 渣 (0xA3 .. 0xA5).
PROVINCES = "京津冀晋蒙辽吉黑沪苏浙皖闽赣鲁豫鄂湘粤桂琼渝川贵云藏陕甘青宁新"
SPECIALS = "学警渣"
FIRST_PROVINCE_CODE = 0x80
FIRST_SPECIAL_CODE = 0xA3

CHARACTERS = DIGITS + LETTERS + PROVINCES + SPECIALS
JUNK = len(CHARACTERS)  # index of the class "no character"
CLASS_COUNT = JUNK + 1

INDEX = {c: i for i, c in enumerate(CHARACTERS)}


def code_of(index):
    """The engine's character code of a class index (0 for the junk class)."""
    if index == JUNK:
        return 0
    c = CHARACTERS[index]
    if c in PROVINCES:
        return FIRST_PROVINCE_CODE + PROVINCES.index(c)
    if c in SPECIALS:
        return FIRST_SPECIAL_CODE + SPECIALS.index(c)
    return ord(c)


def is_chinese(index):
    return len(DIGITS) + len(LETTERS) <= index < JUNK


assert len(PROVINCES) == 31 and CLASS_COUNT == 69
