"""Progress functions: a callable, or a tqdm bar."""


def adapt(progress):
    """The callable the engine calls with a varnock.Progress, or None.

    A tqdm bar (anything with update() and a numeric total) is moved to
    fraction x its total, so tqdm(total=100, unit="%") shows percent.
    """
    if progress is None:
        return None
    if callable(progress):
        return progress
    if hasattr(progress, "update") and hasattr(progress, "total"):
        bar = progress

        def move(p):
            total = bar.total if bar.total else 1
            bar.update(p.fraction * total - bar.n)

        return move
    raise TypeError("progress must be a function of one varnock.Progress, or a tqdm bar")
