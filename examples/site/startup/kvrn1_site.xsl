<?xml version="1.0" encoding="UTF-8"?>
<!--
  Shows a Kvrn preference value file (.dpv) as a readable HTML page.
  A copy of this style sheet sits beside every value file under the value file's own
  base name (kvrn1_user.dpv refers to kvrn1_user.xsl), so a browser that still applies
  style sheets to XML shows the table instead of the raw XML; xsltproc makes the same page:
  xsltproc kvrn1_user.xsl kvrn1_user.dpv > kvrn1_user.html
  The columns have fixed shares of the width and their text wraps, so every column stays
  in view on a 1,366 px screen. The page needs no script.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

  <xsl:output method="html" encoding="UTF-8" indent="yes"
              doctype-system="about:legacy-compat"/>

  <!-- In a file that is locked by default, locked="yes" marks an exception: a preference
       that stays open for the levels above. In any other file it marks a lock. -->
  <xsl:variable name="lockedByDefault"
                select="/PrefValues/@defaultLockStatus = 'locked'"/>

  <xsl:template match="/">
    <html lang="en">
      <head>
        <meta name="viewport" content="width=device-width, initial-scale=1"/>
        <title>Kvrn preference values</title>
        <style>
          body { font: 14px/1.35 system-ui, "Segoe UI", Roboto, "DejaVu Sans", sans-serif;
                 margin: 16px 20px; color: #202020; }
          h1 { font-size: 22px; margin: 0 0 4px; }
          h2 { font-size: 16px; font-weight: normal; margin: 0 0 4px; }
          h2.locked { color: #a01010; }
          h2.unlocked { color: #106010; }
          p.note { font-size: 13px; color: #505050; margin: 4px 0 10px; max-width: 80em; }
          p.note code { white-space: nowrap; }
          table { border-collapse: collapse; width: 100%; table-layout: fixed; }
          col.place { width: 15%; }
          col.title { width: 12%; }
          col.name { width: 17%; }
          col.value { width: 16%; }
          col.lock { width: 9%; }
          col.modified { width: 10%; }
          col.comment { width: 21%; }
          th, td { border: 1px solid #b0b0b0; padding: 4px 6px; text-align: left;
                   vertical-align: top; overflow-wrap: anywhere; word-wrap: break-word; }
          th { background: #e4e8ee; }
          tbody tr:nth-child(even) { background: #f6f7f9; }
          td.name, span.raw { font-family: ui-monospace, "DejaVu Sans Mono", monospace;
                              font-size: 12px; }
          span.raw { display: block; color: #606060; }
          td.lock-locked { color: #a01010; font-weight: bold; }
          td.lock-open { color: #106010; }
          td.modified { font-size: 12px; }
          td.comment { white-space: pre-wrap; }
        </style>
      </head>
      <body>
        <h1>Kvrn preference values</h1>
        <xsl:choose>
          <xsl:when test="$lockedByDefault">
            <h2 class="locked">Locked by default: every preference is locked for the
              levels above, except those marked as exceptions.</h2>
          </xsl:when>
          <xsl:otherwise>
            <h2 class="unlocked">Unlocked by default: only the preferences marked as
              locked are locked for the levels above.</h2>
          </xsl:otherwise>
        </xsl:choose>
        <p class="note">
          <xsl:value-of select="count(/PrefValues/Pref)"/>
          <xsl:text> values recorded at this level. A value is used only where no lower
            level locks its preference. Every level at once, with the value in effect: </xsl:text>
          <code>kvrn-prefs report --html -o report.html</code>
        </p>
        <xsl:choose>
          <xsl:when test="/PrefValues/Pref">
            <table>
              <colgroup>
                <col class="place"/>
                <col class="title"/>
                <col class="name"/>
                <col class="value"/>
                <col class="lock"/>
                <col class="modified"/>
                <col class="comment"/>
              </colgroup>
              <thead>
                <tr>
                  <th>Application / Category / Tab</th>
                  <th>Title</th>
                  <th>Name</th>
                  <th>Value</th>
                  <th>Lock</th>
                  <th>Modified</th>
                  <th>Comment</th>
                </tr>
              </thead>
              <tbody>
                <xsl:apply-templates select="/PrefValues/Pref">
                  <xsl:sort select="@Application"/>
                  <xsl:sort select="@Category"/>
                  <xsl:sort select="@Tab"/>
                  <xsl:sort select="@title"/>
                </xsl:apply-templates>
              </tbody>
            </table>
          </xsl:when>
          <xsl:otherwise>
            <p>No values are recorded at this level.</p>
          </xsl:otherwise>
        </xsl:choose>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="Pref">
    <tr>
      <td>
        <xsl:value-of select="concat(@Application, ' / ', @Category, ' / ', @Tab)"/>
      </td>
      <td><xsl:value-of select="@title"/></td>
      <td class="name"><xsl:value-of select="@name"/></td>
      <td>
        <xsl:value-of select="@displayValue"/>
        <!-- The value as stored, where the shown value reads differently (a choice's name),
             but not a string list's encoded form: its items are shown. -->
        <xsl:if test="string(@value) != string(@displayValue) and
                      not(starts-with(@value, '&quot;'))">
          <span class="raw">stored as <xsl:value-of select="@value"/></span>
        </xsl:if>
      </td>
      <xsl:call-template name="lock-cell"/>
      <td class="modified"><xsl:call-template name="date-time"/></td>
      <td class="comment"><xsl:value-of select="UserComment"/></td>
    </tr>
  </xsl:template>

  <xsl:template name="lock-cell">
    <xsl:variable name="flag" select="@locked = 'yes'"/>
    <xsl:choose>
      <xsl:when test="$lockedByDefault and $flag">
        <td class="lock-open">unlocked (exception)</td>
      </xsl:when>
      <xsl:when test="$lockedByDefault">
        <td class="lock-locked">locked</td>
      </xsl:when>
      <xsl:when test="$flag">
        <td class="lock-locked">locked (exception)</td>
      </xsl:when>
      <xsl:otherwise>
        <td class="lock-open">unlocked</td>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- 2026-11-30T09:15:00Z is shown as 2026-11-30 09:15:00 UTC; anything else as written. -->
  <xsl:template name="date-time">
    <xsl:variable name="m" select="@modified"/>
    <xsl:choose>
      <xsl:when test="contains($m, 'T') and substring($m, string-length($m)) = 'Z'">
        <xsl:value-of select="substring-before($m, 'T')"/>
        <xsl:text> </xsl:text>
        <xsl:value-of select="substring(substring-after($m, 'T'), 1,
                              string-length(substring-after($m, 'T')) - 1)"/>
        <xsl:text> UTC</xsl:text>
      </xsl:when>
      <xsl:when test="contains($m, 'T')">
        <xsl:value-of select="substring-before($m, 'T')"/>
        <xsl:text> </xsl:text>
        <xsl:value-of select="substring-after($m, 'T')"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="$m"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

</xsl:stylesheet>
