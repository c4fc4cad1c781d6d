"""Sheets held in memory: cells read and written by name, every other byte kept."""

import pytest
import varnock

# A sheet whose labels are Shift-JIS, as the front end writes them.
LABEL = "光源".encode("cp932")


def hand_edited(data, row, column, text):
    """The sheet with one cell replaced, as an editor would: the row's other cells as they were."""
    lines = data.split(b"\r\n")
    cells = lines[row - 1].split(b"\t")
    cells[column - 1] = text
    lines[row - 1] = b"\t".join(cells)
    return b"\r\n".join(lines)


def test_edits_replace_only_that_cell(condenser, tmp_path):
    data = condenser.read_bytes().replace(b"Varnock input sheet", b"Varnock " + LABEL)
    sheet = varnock.Sheet.from_bytes(data, "labelled.txt")
    assert sheet["TH0"] == 20.0 and isinstance(sheet["TH0"], float)
    assert sheet["NRING"] == 12 and isinstance(sheet["NRING"], int)
    assert sheet["RN1.2"] == 1.522 and sheet["C7"] == sheet["RSRC"] == 1.0

    sheet["TH0"] = 25.5
    sheet["NRING"] = 8
    sheet["RN1.2"] = "1.5"
    sheet["CV2"] = -1 / 30  # a text longer than a short string's buffer
    expected = hand_edited(hand_edited(hand_edited(hand_edited(data, 20, 3, b"25.5"), 9, 3, b"8"), 21, 10, b"1.5"),
                           22, 2, repr(-1 / 30).encode())
    assert sheet.bytes == expected
    assert sheet["TH0"] == 25.5 and sheet.cell_text("RN1.2") == "1.5" and sheet["CV2"] == -1 / 30
    assert LABEL.decode("cp932") in sheet.text

    path = tmp_path / "edited.txt"
    sheet.write(path)
    assert path.read_bytes() == expected
    assert varnock.Sheet(path) == sheet


def test_from_text_encodes_shift_jis():
    sheet = varnock.Sheet.from_text("光源\r\n")
    assert sheet.bytes == LABEL + b"\r\n"
    assert sheet.text == "光源\r\n"


def test_unknown_and_refused_cells(condenser):
    sheet = varnock.Sheet(condenser)
    for name in ("A1", "TH9", "RN1.3", "bogus"):
        with pytest.raises(KeyError, match="RN2.3"):  # the message names the accepted forms
            sheet[name]
        assert name not in sheet
    with pytest.raises(KeyError):
        sheet["A1"] = 1.0
    with pytest.raises(ValueError, match="whole-number"):
        sheet["NRING"] = 2.5
    with pytest.raises(ValueError, match="tab or a line break"):
        sheet["C7"] = "1\t2"
    with pytest.raises(ValueError, match="finite"):
        sheet["TH0"] = float("nan")
    with pytest.raises(TypeError):
        sheet["TH0"] = [1]
    sheet["NRING"] = -2147483648  # the smallest 32-bit whole number is one
    sheet["NRING"] = 12
    assert sheet == varnock.Sheet(condenser)  # a refused edit changes nothing
    assert sheet != None and sheet != "sheet"  # noqa: E711
