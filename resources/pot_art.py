"""The program's steaming pot, as pixel art shared by every icon script."""

# The classic 16-colour Windows palette, in its usual index order.
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# Pixel-art letters: '.' is see-through, the rest name palette entries.
INK = {"k": 0, "m": 1, "s": 7, "g": 8, "r": 9, "w": 15}

# A steaming red enamel pot: a kitchen at a glance, even at 16 pixels.
POT16 = [
    ".....g....g.....",
    "......g....g....",
    ".....g....g.....",
    "................",
    ".......kk.......",
    "....kkkrrkkk....",
    "..kkrwwrrrrmkk..",
    ".kmmmmmmmmmmmmk.",
    ".kkkkkkkkkkkkkk.",
    "..krwrrrrrrmmk..",
    "kskrwrrrrrrmmksk",
    "kgkrwrrrrrrmmkgk",
    "..krwrrrrrrmmk..",
    "..krrrrrrrrmmk..",
    "...kmrrrrrmmk...",
    "....kkkkkkkk....",
]

POT32 = [
    "................................",
    "...........s...........s........",
    ".........sg.....s....sg.........",
    ".........sg....sg....sg.........",
    "..........sg....sg....sg........",
    "...........sg....sg....sg.......",
    "...........sg....sg....sg.......",
    "..........sg....sg....sg........",
    ".........sg....sg....sg.........",
    "..............kkkk..............",
    ".............krwrmk.............",
    ".........kkkkkkkkkkkkkk.........",
    "......kkrwwwrrrrrrrrrrmmkk......",
    "....kkrwwrrrrrrrrrrrrrrrmmkk....",
    "...krwrrrrrrrrrrrrrrrrrrrmmmk...",
    ".kmmmmmmmmmmmmmmmmmmmmmmmmmmmmk.",
    ".kkkkkkkkkkkkkkkkkkkkkkkkkkkkkk.",
    "...krwwrrrrrrrrrrrrrrrrrrmmmk...",
    ".kkkrwwrrrrrrrrrrrrrrrrrrmmmkkk.",
    "ksskrwwrrrrrrrrrrrrrrrrrrmmmkssk",
    "kggkrwwrrrrrrrrrrrrrrrrrrmmmkggk",
    ".kkkrwwrrrrrrrrrrrrrrrrrrmmmkkk.",
    "...krwwrrrrrrrrrrrrrrrrrrmmmk...",
    "...krwwrrrrrrrrrrrrrrrrrrmmmk...",
    "...krwrrrrrrrrrrrrrrrrrrrmmmk...",
    "...krrrrrrrrrrrrrrrrrrrrrmmmk...",
    "...krrrrrrrrrrrrrrrrrrrrrmmmk...",
    "....krrrrrrrrrrrrrrrrrrrmmmk....",
    ".....kmrrrrrrrrrrrrrrrrmmmk.....",
    "......kmmmrrrrrrrrrrrmmmmk......",
    ".......kkkkkkkkkkkkkkkkkk.......",
    "................................",
]
