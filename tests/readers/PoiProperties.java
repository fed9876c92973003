// Prints what Apache POI reads of an .xls file's document properties, one fact per line, with
// POI's own warnings on standard output (run with POI's SystemOutLogger).
//
//   java -cp poi.jar:commons-collections4.jar:commons-math3.jar PoiProperties.java FILE
import java.io.File;
import java.text.SimpleDateFormat;
import java.util.Date;
import java.util.TimeZone;
import org.apache.poi.hpsf.DocumentSummaryInformation;
import org.apache.poi.hpsf.SummaryInformation;
import org.apache.poi.hssf.usermodel.HSSFWorkbook;
import org.apache.poi.poifs.filesystem.POIFSFileSystem;

public class PoiProperties {
  static String time(Date date) {
    if (date == null) return "null";
    SimpleDateFormat format = new SimpleDateFormat("yyyy-MM-dd HH:mm:ss");
    format.setTimeZone(TimeZone.getTimeZone("UTC"));
    return format.format(date);
  }

  public static void main(String[] args) throws Exception {
    try (POIFSFileSystem fs = new POIFSFileSystem(new File(args[0]), true);
         HSSFWorkbook book = new HSSFWorkbook(fs)) {
      SummaryInformation summary = book.getSummaryInformation();
      DocumentSummaryInformation document = book.getDocumentSummaryInformation();
      if (summary == null || document == null) {
        System.out.println("missing summary=" + summary + " document=" + document);
        return;
      }
      System.out.println("poi title=" + summary.getTitle() + " app=" + summary.getApplicationName()
          + " created=" + time(summary.getCreateDateTime())
          + " saved=" + time(summary.getLastSaveDateTime())
          + " codepage=" + summary.getFirstSection().getCodepage()
          + "/" + document.getFirstSection().getCodepage()
          + " sheets=" + book.getNumberOfSheets());
    }
  }
}
