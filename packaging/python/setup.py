"""The wheel of the Python package varnock, made from a CMake build's
<build>/python/varnock (scripts/package.sh lays it out beside this file).
It compiles nothing: the extension is the build's, for this Python and the
libraries of this system (Debian 12), hence the platform tag linux_x86_64.
"""

import os

from setuptools import Distribution, setup


class BinaryDistribution(Distribution):
    """A distribution with a compiled extension: its wheel is tagged for this
    Python and platform, not py3-none-any."""

    def has_ext_modules(self):
        return True


setup(
    name="varnock",
    version=os.environ["VARNOCK_VERSION"],
    description="Illumination ray tracing of ring sources through coaxial optics",
    long_description=open("README.md", encoding="utf-8").read(),
    long_description_content_type="text/markdown",
    license="Proprietary",
    packages=["varnock"],
    package_data={"varnock": ["_core*.so"]},
    python_requires="==3.11.*",
    install_requires=["numpy"],
    extras_require={"plot": ["matplotlib"], "tables": ["pandas"]},
    distclass=BinaryDistribution,
    zip_safe=False,
)
