"""The exceptions of varnock: every failure of a run or a study is a varnock.Error."""


class Error(Exception):
    """A run or a study failed.

    Attributes:
        file: the file concerned (the sheet, or a file of the output folder).
        row, column: the 1-based sheet row and column of the cell at fault,
            or 0 when the problem is not about one cell.
        message: what went wrong, without the file and cell.
    """

    def __init__(self, description, file="", row=0, column=0, message=""):
        super().__init__(description)
        self.file = file
        self.row = row
        self.column = column
        self.message = message or description


class SheetError(Error):
    """The sheet is missing, unreadable or refused (a cell at fault, a fan too large)."""


class OutputError(Error):
    """The output folder or a result file cannot be written (or the folder is in use)."""


class Unsupported(Error):
    """What was asked for is not available here (the fast mode on this processor)."""
