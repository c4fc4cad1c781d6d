"""How a Result shows itself: inline in a notebook, and as matplotlib figures."""

import html

_IFRAME = ('<iframe srcdoc="{page}" style="width:100%;height:{height}px;border:1px solid #ccc" '
           'sandbox="allow-scripts allow-downloads"></iframe>')


def repr_html(result, height=900):
    """The report page in an iframe, for Jupyter: self-contained, it needs nothing else."""
    return _IFRAME.format(page=html.escape(result.report_html(), quote=True), height=height)


def plot(result, maps=("IXY", "IUV", "IUV_P"), axes=None, cmap="inferno"):
    """Shows the maps side by side with matplotlib and returns the figure.

    Each map is drawn as seen along +z: x (or U) to the right, y (or V) up,
    the cells at their centres in mm (IXY) or mrad (IUV, IUV_P). Give axes
    (one per map) to draw into a figure of your own.
    """
    try:
        import matplotlib.pyplot as plt
    except ImportError as e:
        raise ImportError("Result.plot needs matplotlib (Debian: apt install python3-matplotlib)") from e
    if isinstance(maps, str):
        maps = (maps,)
    if axes is None:
        figure, axes = plt.subplots(1, len(maps), figsize=(4.6 * len(maps), 4), squeeze=False)
        axes = axes[0]
    else:
        figure = axes[0].figure
    for name, ax in zip(maps, axes):
        values = getattr(result, name)
        if name == "IXY":
            across, down, unit, labels = result.x, result.y, "mm", ("x", "y")
        else:
            across, down, unit, labels = result.u, result.v, "mrad", ("U", "V")
        half = (across[1] - across[0]) / 2 if len(across) > 1 else 0.5
        extent = (across[0] - half, across[-1] + half, down[0] - half, down[-1] + half)
        image = ax.imshow(values.T, origin="lower", extent=extent, cmap=cmap, interpolation="nearest")
        ax.set_title(name)
        ax.set_xlabel(f"{labels[0]} ({unit})")
        ax.set_ylabel(f"{labels[1]} ({unit})")
        figure.colorbar(image, ax=ax, shrink=0.85, label="weight")
    figure.tight_layout()
    return figure
