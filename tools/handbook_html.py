#!/usr/bin/python3
"""Turns the operators' handbook into one HTML file that opens offline in any browser.

    tools/handbook_html.py docs/handbok.md OUT.html

The pictures go inside the file as data: URIs, so the file can be mailed or copied alone. Heading
ids are made as GitHub makes them (letters like ö kept), so the handbook's links to its own
sections work both on GitHub and in the HTML. A link to another file, or a picture that is not
beside the handbook, stops the conversion: neither could be followed once the file is copied out.
Needs Debian's python3-markdown, hence Debian's python3 above.
"""
import base64
import html
import mimetypes
import pathlib
import sys
import xml.etree.ElementTree as etree

import markdown
from markdown.extensions import Extension
from markdown.extensions.toc import TocExtension, slugify_unicode
from markdown.treeprocessors import Treeprocessor

STYLE = """
body { font-family: "Segoe UI", Arial, sans-serif; line-height: 1.5; color: #1f2328;
       max-width: 62em; margin: 0 auto; padding: 1em 2em 3em; }
h1, h2 { border-bottom: 1px solid #d1d9e0; padding-bottom: .3em; }
h2, h3 { margin-top: 1.8em; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #d1d9e0; padding: .4em .7em; text-align: left; vertical-align: top; }
th { background: #f6f8fa; }
tr:nth-child(even) td { background: #fafbfc; }
code { font-family: Consolas, "DejaVu Sans Mono", monospace; font-size: 90%;
       background: #eff1f3; padding: .1em .3em; border-radius: 4px; }
pre { background: #f6f8fa; padding: 1em; overflow-x: auto; border-radius: 6px; }
pre code { background: none; padding: 0; }
blockquote { margin: 1em 0; padding: 0 1em; color: #3d444d; border-left: 4px solid #d1d9e0; }
figure { margin: 1em 0 1.5em; }
img { max-width: 100%; border: 1px solid #d1d9e0; }
figcaption { font-size: 90%; color: #59636e; margin-top: .3em; }
@media print { body { max-width: none; } h2, h3 { break-after: avoid; } tr, figure { break-inside: avoid; } }
"""


class SelfContained(Treeprocessor):
    """Puts each picture inside the page and refuses links that leave it."""

    def __init__(self, md, folder):
        super().__init__(md)
        self.folder = folder

    def run(self, root):
        for img in root.iter("img"):
            src = img.get("src", "")
            path = self.folder / src
            mime = mimetypes.guess_type(src)[0]
            if ":" in src or not path.is_file() or not mime or not mime.startswith("image/"):
                sys.exit(f"handbook_html: picture {src!r} is no image file beside the handbook")
            img.set("src", f"data:{mime};base64," + base64.b64encode(path.read_bytes()).decode("ascii"))
        # A picture alone in its paragraph gets its description shown beneath it: the handbook's
        # descriptions say what to look at, which a reader otherwise never sees.
        for p in root.iter("p"):
            if len(p) == 1 and p[0].tag == "img" and not (p.text or "").strip() and not (p[0].tail or "").strip():
                p.tag = "figure"
                caption = etree.SubElement(p, "figcaption")
                caption.text = p[0].get("alt", "")
        for link in root.iter("a"):
            href = link.get("href", "")
            if not href.startswith(("#", "https:", "http:", "mailto:")):
                sys.exit(f"handbook_html: the link to {href!r} cannot be followed from the HTML file")


class SelfContainedExtension(Extension):
    def __init__(self, folder):
        super().__init__()
        self.folder = folder

    def extendMarkdown(self, md):
        # After the inline patterns have made the img and a elements.
        md.treeprocessors.register(SelfContained(md, self.folder), "self_contained", 0)


def convert(source: pathlib.Path) -> str:
    md = markdown.Markdown(extensions=[
        "tables", "fenced_code", "sane_lists",
        TocExtension(slugify=slugify_unicode),
        SelfContainedExtension(source.parent),
    ])
    body = md.convert(source.read_text(encoding="utf-8"))
    title = md.toc_tokens[0]["name"] if md.toc_tokens else source.stem
    # The toc extension hands the title back with its characters escaped once already.
    title = html.escape(html.unescape(title), quote=False)
    return (f'<!DOCTYPE html>\n<html lang="sv">\n<head>\n<meta charset="utf-8">\n'
            f'<meta name="viewport" content="width=device-width, initial-scale=1">\n'
            f"<title>{title}</title>\n<style>{STYLE}</style>\n</head>\n<body>\n{body}\n</body>\n</html>\n")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    page = convert(pathlib.Path(sys.argv[1]))
    pathlib.Path(sys.argv[2]).write_text(page, encoding="utf-8", newline="\n")


if __name__ == "__main__":
    main()
